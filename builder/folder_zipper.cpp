// Zip archive from a folder (see folder_zipper.h).
#include "folder_zipper.h"

#include "archive/zip_records.h"
#include "build_error.h"
#include "extract/crc32.h"
#include "text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <libdeflate.h>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr int FILE_COMPRESSION_LEVEL = 9;  // libdeflate: near its best at a fraction of level 12's time
constexpr uint16_t VERSION_MADE_BY = 20;   // MS-DOS attributes, format version 2.0
constexpr uint16_t VERSION_STORED = 10;
constexpr uint16_t VERSION_DEFLATE = 20;
constexpr uint32_t DOS_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint64_t FILE_SIZE_LIMIT = 0x7FFFFFFF;

struct CompressorDeleter {
    void operator()(libdeflate_compressor *compressor) const { libdeflate_free_compressor(compressor); }
};

struct Walk {
    std::string codepage;
    ExcludedFile excluded;
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor;
    ZipArchive archive;
};

std::vector<std::string> SortedEntries(const std::string &folder)
{
    std::unique_ptr<DIR, int (*)(DIR *)> directory(opendir(folder.c_str()), closedir);
    if (!directory)
        Refuse("%s: cannot open the folder: %s", folder.c_str(), std::strerror(errno));
    std::vector<std::string> names;
    errno = 0;
    while (const dirent *entry = readdir(directory.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
        errno = 0;
    }
    if (errno != 0)
        Refuse("%s: cannot read the folder: %s", folder.c_str(), std::strerror(errno));
    std::sort(names.begin(), names.end());  // byte order, whatever the locale
    return names;
}

std::vector<uint8_t> ReadWholeFile(const std::string &path, uint64_t size_bytes)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> content(size_bytes);
    if (!in || !in.read(reinterpret_cast<char *>(content.data()), std::streamsize(size_bytes)) ||
        in.peek() != std::ifstream::traits_type::eof())
        Refuse("%s: cannot read it (or it changed while being read)", path.c_str());
    return content;
}

ZipMember NewMember(Walk &walk, const std::string &relative, const struct stat &info)
{
    ZipMember member = {};
    if (relative.find('\\') != std::string::npos)
        Refuse("%s: a backslash in a name, which Windows takes for a folder separator", relative.c_str());
    member.name = ToAnsi(relative, walk.codepage, relative);
    if (member.name.size() > ZIP_NAME_MAX_BYTES)
        Refuse("%s: the stored name would be %zu bytes, over the extractor's limit of %zu", relative.c_str(),
               member.name.size(), ZIP_NAME_MAX_BYTES);
    member.version_made_by = VERSION_MADE_BY;
    member.version_needed = VERSION_STORED;
    member.method = ZIP_METHOD_STORED;
    uint32_t date_time = DosDateTime(info.st_mtime);
    member.dos_date = static_cast<uint16_t>(date_time >> 16);
    member.dos_time = static_cast<uint16_t>(date_time);
    member.data_offset = walk.archive.storage.size();
    return member;
}

void AddFolderEntry(Walk &walk, const std::string &relative, const struct stat &info)
{
    ZipMember member = NewMember(walk, relative + "/", info);
    member.external_attributes = DOS_ATTRIBUTE_DIRECTORY;
    walk.archive.members.push_back(std::move(member));
}

void AddFile(Walk &walk, const std::string &path, const std::string &relative, const struct stat &info)
{
    if (uint64_t(info.st_size) > FILE_SIZE_LIMIT)
        Refuse("%s: 2 GiB or more; the installer's offsets are signed 32-bit values", path.c_str());
    ZipMember member = NewMember(walk, relative, info);
    std::vector<uint8_t> content = ReadWholeFile(path, uint64_t(info.st_size));
    member.crc = Crc32Of(content.data(), content.size());
    member.uncompressed_bytes = static_cast<uint32_t>(content.size());

    std::vector<uint8_t> deflated;
    if (!content.empty()) {
        deflated.resize(content.size() - 1);  // only a smaller result is of use
        size_t deflated_bytes = libdeflate_deflate_compress(walk.compressor.get(), content.data(), content.size(),
                                                            deflated.data(), deflated.size());
        deflated.resize(deflated_bytes);
    }
    std::vector<uint8_t> &storage = walk.archive.storage;
    if (!deflated.empty()) {
        member.method = ZIP_METHOD_DEFLATE;
        member.version_needed = VERSION_DEFLATE;
        storage.insert(storage.end(), deflated.begin(), deflated.end());
    } else {
        storage.insert(storage.end(), content.begin(), content.end());
    }
    member.compressed_bytes = static_cast<uint32_t>(storage.size() - member.data_offset);
    if (storage.size() > FILE_SIZE_LIMIT)
        Refuse("%s: the archive reaches 2 GiB here; the installer's offsets are signed 32-bit values",
               path.c_str());
    walk.archive.members.push_back(std::move(member));
}

void WalkFolder(Walk &walk, const std::string &folder, const std::string &relative_folder)
{
    for (const std::string &name : SortedEntries(folder)) {
        const std::string path = folder + "/" + name;
        const std::string relative = relative_folder.empty() ? name : relative_folder + "/" + name;
        struct stat link_info;
        struct stat info;
        if (lstat(path.c_str(), &link_info) != 0 || stat(path.c_str(), &info) != 0)
            Refuse("%s: %s", path.c_str(), std::strerror(errno));
        if (info.st_dev == walk.excluded.device && info.st_ino == walk.excluded.inode)
            continue;
        if (S_ISDIR(info.st_mode)) {
            if (S_ISLNK(link_info.st_mode))
                Refuse("%s: a link to a folder; links to folders are not followed", path.c_str());
            AddFolderEntry(walk, relative, info);
            WalkFolder(walk, path, relative);
        } else if (S_ISREG(info.st_mode)) {
            AddFile(walk, path, relative, info);
        } else {
            Refuse("%s: not a regular file or folder", path.c_str());
        }
    }
}

}  // namespace

uint32_t DosDateTime(time_t when)
{
    struct tm local = {};
    if (!localtime_r(&when, &local) || local.tm_year < 80)
        return (0u << 9 | 1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
    if (local.tm_year > 80 + 127)
        return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    uint32_t date = uint32_t(local.tm_year - 80) << 9 | uint32_t(local.tm_mon + 1) << 5 | uint32_t(local.tm_mday);
    uint32_t time = uint32_t(local.tm_hour) << 11 | uint32_t(local.tm_min) << 5 | uint32_t(local.tm_sec / 2);
    return date << 16 | time;
}

ZipArchive ZipFolder(const std::string &root, const std::string &codepage, ExcludedFile excluded)
{
    struct stat info;
    if (stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        Refuse("--from-dir %s: not a folder", root.c_str());
    BuildCrcTable();
    Walk walk{codepage, excluded, nullptr, {}};
    walk.compressor.reset(libdeflate_alloc_compressor(FILE_COMPRESSION_LEVEL));
    if (!walk.compressor)
        Refuse("out of memory for the compressor");
    WalkFolder(walk, root, "");
    for (size_t index = 0; index < walk.archive.members.size(); index++)
        walk.archive.central_order.push_back(index);
    return std::move(walk.archive);
}
