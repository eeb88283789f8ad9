// Resource options (see resource_options.h).
#include "resource_options.h"

#include "build_error.h"
#include "host_system.h"
#include "icon_file.h"
#include "installer_builder.h"
#include "manifest_edit.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "version_info.h"

#include <cstring>

namespace {

// The version strings' options and their keys in the string table.
struct VersionStringOption {
    const char *name;
    std::optional<std::string> ResourceOptions::*field;
    const char *key;
};
const VersionStringOption VersionStrings[] = {
    {"company", &ResourceOptions::company, "CompanyName"},
    {"description", &ResourceOptions::description, "FileDescription"},
    {"copyright", &ResourceOptions::copyright, "LegalCopyright"},
    {"product-name", &ResourceOptions::product_name, "ProductName"},
};

std::string BaseName(const std::string &path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string VersionText(const uint16_t numbers[4])
{
    return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]) + "." +
           std::to_string(numbers[3]);
}

std::vector<uint8_t> VersionResource(const ResourceOptions &options, const std::string &out_path, uint16_t language)
{
    VersionFields fields;
    fields.language = language;
    ParseVersionNumbers(*options.version, fields.numbers);
    const std::u16string version = Utf16FromUtf8(VersionText(fields.numbers), "--version");
    const std::string file_name = BaseName(out_path);
    const size_t dot = file_name.rfind('.');
    auto add = [&](const char *key, const std::u16string &value) { fields.strings.push_back({key, value}); };
    // The usual order of a string table.
    if (options.company)
        add("CompanyName", Utf16FromUtf8(*options.company, "--company"));
    if (options.description)
        add("FileDescription", Utf16FromUtf8(*options.description, "--description"));
    add("FileVersion", version);
    add("InternalName", Utf16FromUtf8(dot == std::string::npos ? file_name : file_name.substr(0, dot), "--out"));
    if (options.copyright)
        add("LegalCopyright", Utf16FromUtf8(*options.copyright, "--copyright"));
    add("OriginalFilename", Utf16FromUtf8(file_name, "--out"));
    if (options.product_name)
        add("ProductName", Utf16FromUtf8(*options.product_name, "--product-name"));
    add("ProductVersion", version);
    return BuildVersionInfo(fields);
}

}  // namespace

bool ResourceOptions::Any() const
{
    return icon_path || version || product_name || company || description || copyright || elevation || dpi_aware;
}

int TakeResourceOption(const std::string &name, const std::optional<std::string> &inline_value, int argc,
                       const char *const *argv, int next, ResourceOptions &options)
{
    if (name == "dpi-aware") {
        if (inline_value)
            Refuse("--dpi-aware takes no value");
        options.dpi_aware = true;
        return next;
    }
    std::optional<std::string> *target = name == "icon"        ? &options.icon_path
                                         : name == "version"   ? &options.version
                                         : name == "elevation" ? &options.elevation
                                                               : nullptr;
    for (const VersionStringOption &option : VersionStrings)
        if (name == option.name)
            target = &(options.*option.field);
    if (!target)
        return -1;
    if (inline_value) {
        *target = *inline_value;
        return next;
    }
    if (next >= argc)
        Refuse("--%s needs a value", name.c_str());
    *target = argv[next];
    return next + 1;
}

std::string ResourceOptionsHelp()
{
    return "Resources of the installer (without these the stub's stay as they are):\n"
           "  --icon FILE.ico    the installer's icon (group 1, shown in its dialog and by Explorer):\n"
           "                     every image of FILE, PNG-compressed 256x256 ones included\n"
           "  --version X.Y.Z.W  write a version resource: file and product version X.Y.Z.W, with\n"
           "                     OriginalFilename and InternalName from --out, in a string table\n"
           "                     in the messages' language, code page 1252 (Spanish 0C0A04E4,\n"
           "                     English 040904E4)\n"
           "  --product-name T   its ProductName    (these four need --version)\n"
           "  --company T        its CompanyName\n"
           "  --description T    its FileDescription\n"
           "  --copyright T      its LegalCopyright\n"
           "  --elevation LEVEL  asInvoker, highestAvailable or requireAdministrator: the manifest's\n"
           "                     requestedExecutionLevel, so Windows does not guess from the name\n"
           "  --dpi-aware        declare the installer DPI-aware in its manifest (the dialogs scale\n"
           "                     in dialog units instead of being stretched)\n"
           "\n";
}

std::vector<uint8_t> ApplyResourceOptions(const std::vector<uint8_t> &stub, const ResourceOptions &options,
                                          const std::string &out_path, const std::string &language_code)
{
    if (!options.Any())
        return stub;
    for (const VersionStringOption &option : VersionStrings)
        if (options.*option.field && !options.version)
            Refuse("--%s goes into the version resource: it needs --version X.Y.Z.W", option.name);
    ReadPeLayout(stub, TALVOK_SECTION_NAME);  // the stub refusals of every build, first
    ResourceRead read = ReadResources(stub);
    if (!read.failure.empty())
        Refuse("stub: its resources cannot be read: %s", read.failure.c_str());
    ResourceTable &table = read.table;

    if (options.icon_path) {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!ReadWholeFile(*options.icon_path, bytes, error))
            Refuse("--icon %s: cannot open it: %s", options.icon_path->c_str(), error.c_str());
        SetAppIcon(table, ReadIcoFile(bytes, *options.icon_path));
    }
    if (options.version) {
        table.Remove(RESOURCE_TYPE_VERSION, 1);
        const uint16_t language = VersionLanguageOf(language_code);
        table.entries.push_back(ResourceEntry{ResourceId(RESOURCE_TYPE_VERSION), ResourceId(1), language, 0,
                                              VersionResource(options, out_path, language)});
    }
    if (options.elevation || options.dpi_aware) {
        ResourceEntry *manifest = table.Find(RESOURCE_TYPE_MANIFEST, 1);
        if (!manifest)
            Refuse("stub: it has no manifest (RT_MANIFEST 1) to add to");
        const std::string xml(manifest->data.begin(), manifest->data.end());
        const std::string edited = EditManifest(xml, options.elevation.value_or(""), options.dpi_aware);
        manifest->data.assign(edited.begin(), edited.end());
    }
    return ReplaceResources(stub, table);
}

std::string ResourceSummary(const ResourceOptions &options)
{
    std::string parts;
    auto add = [&](const std::string &part) { parts += (parts.empty() ? "" : "; ") + part; };
    if (options.icon_path)
        add("icon from " + *options.icon_path);
    if (options.version)
        add("version " + *options.version);
    if (options.elevation)
        add("requestedExecutionLevel " + *options.elevation);
    if (options.dpi_aware)
        add("dpiAware");
    return parts;
}
