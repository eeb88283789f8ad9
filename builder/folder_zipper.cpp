// Zip archive from a folder (see folder_zipper.h). Two passes: the walk
// lists every entry in archive order with its header fields, then the
// files' contents are compressed in parallel and laid into the storage in
// that same order.
#include "folder_zipper.h"

#include "archive/zip_records.h"
#include "build_error.h"
#include "deflate_compressor.h"
#include "lzma_compressor.h"
#include "extract/crc32.h"
#include "member_name_check.h"
#include "text_encoding.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

constexpr uint16_t VERSION_MADE_BY = 20;   // MS-DOS attributes, format version 2.0
constexpr uint16_t VERSION_STORED = 10;
constexpr uint16_t VERSION_DEFLATE = 20;
constexpr uint16_t VERSION_LZMA = 63;      // the application note's version for method 14
constexpr uint32_t DOS_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint64_t FILE_SIZE_LIMIT = 0x7FFFFFFF;
constexpr unsigned COMPRESSION_THREADS_MAX = 16;

// One entry of the archive as the walk found it.
struct PlannedEntry {
    ZipMember member;     // every field but the data's
    std::string path;     // files: where to read the content
    uint64_t size_bytes;  // files: as the walk saw it
    bool is_file;
};

struct Walk {
    const FolderZipOptions &options;
    AnsiCodepage codepage;
    NameClashes clashes;
    std::string resolved_root;  // the folder with every link resolved
    std::vector<PlannedEntry> entries;
    uint64_t file_bytes;
};

// A compressed file, ready to be laid into the storage.
struct PackedFile {
    std::vector<uint8_t> data;
    uint16_t method;
    uint32_t crc;
};

uint32_t EntryDosTime(const FolderZipOptions &options, int64_t modified)
{
    struct tm broken_down = {};
    const bool converted =
        options.fixed_time ? ToUtcTime(*options.fixed_time, broken_down) : ToLocalTime(modified, broken_down);
    if (!converted) {
        broken_down.tm_year = 80, broken_down.tm_mday = 1;  // unrepresentable: the DOS epoch
    }
    return DosDateTime(broken_down);
}

ZipMember NewMember(Walk &walk, const std::string &relative, const EntryInfo &info)
{
    ZipMember member = {};
    if (relative.find('\\') != std::string::npos)
        Refuse("%s: a backslash in a name, which Windows takes for a folder separator", relative.c_str());
    member.name = ToAnsi(relative, walk.options.codepage, relative);
    if (member.name.size() > ZIP_NAME_MAX_BYTES)
        Refuse("%s: the stored name would be %zu bytes, over the extractor's limit of %zu", relative.c_str(),
               member.name.size(), ZIP_NAME_MAX_BYTES);
    std::string fault = MemberNameFault(member.name, walk.codepage);
    if (fault.empty())
        fault = walk.clashes.Add(member.name);
    if (!fault.empty())
        Refuse("%s: %s; the installer could not extract it as it is named", relative.c_str(), fault.c_str());
    member.version_made_by = VERSION_MADE_BY;
    member.version_needed = VERSION_STORED;
    member.method = ZIP_METHOD_STORED;
    const uint32_t date_time = EntryDosTime(walk.options, info.modified);
    member.dos_date = static_cast<uint16_t>(date_time >> 16);
    member.dos_time = static_cast<uint16_t>(date_time);
    return member;
}

std::vector<std::string> SortedEntries(const std::string &folder)
{
    std::vector<std::string> names;
    std::string error;
    if (!ListFolder(folder, names, error))
        Refuse("%s: cannot read the folder: %s", folder.c_str(), error.c_str());
    std::sort(names.begin(), names.end());  // byte order, whatever the locale
    return names;
}

bool SameFile(const FileIdentity &a, const FileIdentity &b)
{
    return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

// A link to a file is followed only when the file lies inside the folder
// being archived: a link that leads out of it would pack a file the author
// never put there (a key, another user's data) without a word.
void CheckLinkStaysInside(const Walk &walk, const std::string &path)
{
    std::string target, error;
    if (!ResolvedPath(path, target, error))
        Refuse("%s: cannot follow the link: %s", path.c_str(), error.c_str());
    const std::string &root = walk.resolved_root;
    const bool inside = target.size() > root.size() && target.compare(0, root.size(), root) == 0 &&
                        (root.back() == '/' || target[root.size()] == '/');
    if (!inside)
        Refuse("%s: a link to %s, outside the folder; links are followed only to files inside it", path.c_str(),
               target.c_str());
}

void WalkFolder(Walk &walk, const std::string &folder, const std::string &relative_folder)
{
    for (const std::string &name : SortedEntries(folder)) {
        const std::string path = folder + "/" + name;
        const std::string relative = relative_folder.empty() ? name : relative_folder + "/" + name;
        EntryInfo info;
        std::string error;
        if (!QueryEntry(path, info, error))
            Refuse("%s: %s", path.c_str(), error.c_str());
        if (SameFile(info.identity, walk.options.excluded))
            continue;
        if (info.is_link && info.kind == EntryKind::File)
            CheckLinkStaysInside(walk, path);
        switch (info.kind) {
        case EntryKind::LinkToFolder:
            Refuse("%s: a link to a folder; links to folders are not followed", path.c_str());
        case EntryKind::Folder: {
            ZipMember member = NewMember(walk, relative + "/", info);
            member.external_attributes = DOS_ATTRIBUTE_DIRECTORY;
            walk.entries.push_back(PlannedEntry{std::move(member), "", 0, false});
            WalkFolder(walk, path, relative);
            break;
        }
        case EntryKind::File:
            if (info.size_bytes > FILE_SIZE_LIMIT)
                Refuse("%s: 2 GiB or more; the installer's offsets are signed 32-bit values", path.c_str());
            walk.entries.push_back(PlannedEntry{NewMember(walk, relative, info), path, info.size_bytes, true});
            walk.file_bytes += info.size_bytes;
            break;
        case EntryKind::Other:
            Refuse("%s: not a regular file or folder", path.c_str());
        }
    }
}

PackedFile PackFile(DeflateCompressor &compressor, const PlannedEntry &entry, MemberCompression compression)
{
    std::vector<uint8_t> content;
    std::string error;
    if (!ReadWholeFile(entry.path, content, error))
        Refuse("%s: cannot read it: %s", entry.path.c_str(), error.c_str());
    if (content.size() != entry.size_bytes)
        Refuse("%s: it changed while being read", entry.path.c_str());
    PackedFile packed;
    packed.crc = Crc32Of(content.data(), content.size());
    if (compression != MemberCompression::Lzma) {
        packed.data = compressor.Compress(content.data(), content.size(), content.size());
        packed.method = ZIP_METHOD_DEFLATE;
    }
    if (compression != MemberCompression::Deflate) {
        // LZMA where it beats what we have (deflate, or the stored size).
        const size_t limit_bytes = packed.data.empty() ? content.size() : packed.data.size();
        std::vector<uint8_t> lzma = lzma_compressor::Compress(content.data(), content.size(), limit_bytes);
        if (!lzma.empty()) {
            packed.data = std::move(lzma);
            packed.method = ZIP_METHOD_LZMA;
        }
    }
    if (packed.data.empty()) {
        packed.data = std::move(content);
        packed.method = ZIP_METHOD_STORED;
    }
    return packed;
}

// Packs every file entry, largest first spread over the threads; a refusal
// in any thread stops the others and is raised here.
std::vector<PackedFile> PackFiles(const std::vector<PlannedEntry> &entries, MemberCompression compression,
                                  ProgressMeter &progress)
{
    std::vector<size_t> order;
    for (size_t index = 0; index < entries.size(); index++)
        if (entries[index].is_file)
            order.push_back(index);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return entries[a].size_bytes > entries[b].size_bytes; });

    std::vector<PackedFile> packed(entries.size());
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::string failure;
    std::mutex failure_lock;
    auto work = [&]() {
        try {
            DeflateCompressor compressor;
            for (size_t taken; !failed && (taken = next++) < order.size();) {
                const PlannedEntry &entry = entries[order[taken]];
                packed[order[taken]] = PackFile(compressor, entry, compression);
                progress.Advance(entry.size_bytes);
            }
        } catch (const std::exception &error) {
            std::lock_guard<std::mutex> lock(failure_lock);
            if (!failed.exchange(true))
                failure = error.what();
        }
    };
    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    const size_t thread_count = std::min<size_t>({hardware, COMPRESSION_THREADS_MAX, order.size()});
    std::vector<std::thread> threads;
    for (size_t index = 1; index < thread_count; index++)
        threads.emplace_back(work);
    work();
    for (std::thread &thread : threads)
        thread.join();
    if (failed)
        throw BuildError(failure);
    return packed;
}

}  // namespace

uint32_t DosDateTime(const struct tm &when)
{
    if (when.tm_year < 80)
        return (0u << 9 | 1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
    if (when.tm_year > 80 + 127)
        return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    uint32_t date = uint32_t(when.tm_year - 80) << 9 | uint32_t(when.tm_mon + 1) << 5 | uint32_t(when.tm_mday);
    uint32_t time = uint32_t(when.tm_hour) << 11 | uint32_t(when.tm_min) << 5 | uint32_t(when.tm_sec / 2);
    return date << 16 | time;
}

ZipArchive ZipFolder(const std::string &root, const FolderZipOptions &options)
{
    EntryInfo info;
    std::string error;
    if (!QueryEntry(root, info, error) || (info.kind != EntryKind::Folder && info.kind != EntryKind::LinkToFolder))
        Refuse("--from-dir %s: not a folder", root.c_str());
    BuildCrcTable();
    const AnsiCodepage codepage = AnsiCodepageOf(options.codepage);
    Walk walk{options, codepage, NameClashes(codepage), "", {}, 0};
    if (!ResolvedPath(root, walk.resolved_root, error))
        Refuse("--from-dir %s: %s", root.c_str(), error.c_str());
    WalkFolder(walk, root, "");

    std::vector<PackedFile> packed;
    {
        ProgressMeter progress("compressing", walk.file_bytes, options.progress_allowed);
        packed = PackFiles(walk.entries, options.compression, progress);
    }

    ZipArchive archive;
    for (size_t index = 0; index < walk.entries.size(); index++) {
        ZipMember &member = walk.entries[index].member;
        member.data_offset = archive.storage.size();
        if (walk.entries[index].is_file) {
            PackedFile &file = packed[index];
            member.method = file.method;
            member.version_needed = file.method == ZIP_METHOD_LZMA      ? VERSION_LZMA
                                    : file.method == ZIP_METHOD_DEFLATE ? VERSION_DEFLATE
                                                                        : VERSION_STORED;
            member.crc = file.crc;
            member.uncompressed_bytes = static_cast<uint32_t>(walk.entries[index].size_bytes);
            member.compressed_bytes = static_cast<uint32_t>(file.data.size());
            archive.storage.insert(archive.storage.end(), file.data.begin(), file.data.end());
            std::vector<uint8_t>().swap(file.data);
            if (archive.storage.size() > FILE_SIZE_LIMIT)
                Refuse("%s: the archive reaches 2 GiB here; the installer's offsets are signed 32-bit values",
                       walk.entries[index].path.c_str());
        }
        archive.central_order.push_back(index);
        archive.members.push_back(std::move(member));
    }
    return archive;
}
