// Resource facts for info and verify (see resource_report.h).
#include "resource_report.h"

#include "icon_file.h"
#include "pe_resources.h"
#include "version_info.h"

#include <cstdio>

namespace {

std::string Numbers(const uint16_t numbers[4])
{
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", numbers[0], numbers[1], numbers[2], numbers[3]);
    return text;
}

std::string ManifestText(const ResourceTable &table)
{
    const ResourceEntry *manifest = table.Find(RESOURCE_TYPE_MANIFEST, 1);
    return manifest ? std::string(manifest->data.begin(), manifest->data.end()) : std::string();
}

}  // namespace

std::vector<std::string> ResourceFaults(const std::vector<uint8_t> &image)
{
    std::vector<std::string> faults;
    const ResourceRead read = ReadResources(image);
    if (!read.failure.empty()) {
        faults.push_back("resources: " + read.failure);
        return faults;
    }
    const IconGroupFacts icon = ReadAppIcon(read.table);
    if (!icon.failure.empty())
        faults.push_back("resources: " + icon.failure);
    if (const ResourceEntry *version = read.table.Find(RESOURCE_TYPE_VERSION, 1)) {
        const VersionFacts facts = ReadVersionInfo(version->data);
        if (!facts.failure.empty())
            faults.push_back("resources: version resource: " + facts.failure);
    }
    return faults;
}

void PrintResources(const std::vector<uint8_t> &image)
{
    const ResourceRead read = ReadResources(image);
    if (!read.present) {
        std::printf("%-20s none\n", "resources");
        return;
    }
    if (!read.failure.empty()) {
        std::printf("%-20s damaged: %s\n", "resources", read.failure.c_str());
        return;
    }
    std::printf("%-20s %s, %zu entries\n", "resources", read.section.c_str(), read.table.entries.size());
    const IconGroupFacts icon = ReadAppIcon(read.table);
    if (!icon.present)
        std::printf("  %-18s none\n", "icon");
    else if (!icon.failure.empty())
        std::printf("  %-18s damaged: %s\n", "icon", icon.failure.c_str());
    else {
        std::printf("  %-18s group 1, %zu images\n", "icon", icon.images.size());
        for (const IconImage &picture : icon.images)
            std::printf("    %3ux%-3u %2u bits  %-6s %7zu bytes\n", picture.width, picture.height, picture.bit_count,
                        picture.png ? "PNG" : "bitmap", picture.data.size());
    }
    if (const ResourceEntry *version = read.table.Find(RESOURCE_TYPE_VERSION, 1)) {
        const VersionFacts facts = ReadVersionInfo(version->data);
        if (!facts.failure.empty())
            std::printf("  %-18s damaged: %s\n", "version", facts.failure.c_str());
        else {
            std::printf("  %-18s file %s, product %s, strings %s (language 0x%04X)\n", "version",
                        Numbers(facts.file_version).c_str(), Numbers(facts.product_version).c_str(),
                        facts.table.c_str(), version->language);
            for (const auto &string : facts.strings)
                std::printf("    %-16s \"%s\"\n", string.first.c_str(), string.second.c_str());
        }
    } else {
        std::printf("  %-18s none\n", "version");
    }
    const std::string manifest = ManifestText(read.table);
    if (manifest.empty()) {
        std::printf("  %-18s none\n", "manifest");
        return;
    }
    std::printf("  %-18s %zu bytes\n", "manifest", manifest.size());
    size_t at = 0;
    while (at < manifest.size()) {
        size_t end = manifest.find('\n', at);
        if (end == std::string::npos)
            end = manifest.size();
        std::string line = manifest.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::printf("    %s\n", line.c_str());
        at = end + 1;
    }
}

void WriteResourcesJson(const std::vector<uint8_t> &image, JsonWriter &json)
{
    const ResourceRead read = ReadResources(image);
    json.BeginObject("resources");
    json.Bool("present", read.present);
    if (!read.failure.empty())
        json.String("failure", read.failure);
    const IconGroupFacts icon = ReadAppIcon(read.table);
    json.BeginArray("icon");
    for (const IconImage &picture : icon.images) {
        json.BeginObject();
        json.Number("width", picture.width);
        json.Number("height", picture.height);
        json.Number("bits", picture.bit_count);
        json.String("format", picture.png ? "PNG" : "bitmap");
        json.Number("bytes", picture.data.size());
        json.EndObject();
    }
    json.EndArray();
    if (!icon.failure.empty())
        json.String("icon_failure", icon.failure);
    if (const ResourceEntry *version = read.table.Find(RESOURCE_TYPE_VERSION, 1)) {
        const VersionFacts facts = ReadVersionInfo(version->data);
        json.BeginObject("version");
        if (!facts.failure.empty())
            json.String("failure", facts.failure);
        json.String("file_version", Numbers(facts.file_version));
        json.String("product_version", Numbers(facts.product_version));
        json.String("table", facts.table);
        json.BeginObject("strings");
        for (const auto &string : facts.strings)
            json.String(string.first.c_str(), string.second);
        json.EndObject();
        json.EndObject();
    }
    json.String("manifest", ManifestText(read.table));
    json.EndObject();
}
