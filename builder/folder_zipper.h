// Making the archive from a folder (--from-dir).
//
// Deterministic: the same tree gives the same archive, byte for byte, on any
// machine. The folder is walked depth first with each folder's entries
// sorted by their bytes: every folder below the root becomes an entry
// "name/" ahead of its contents, every regular file a member, deflated
// (deflate_compressor.h) or stored when deflate does not make it smaller;
// with MemberCompression::Lzma compressed with LZMA instead
// (lzma_compressor.h), with ::Best the smallest of stored, deflate and LZMA.
// Nothing of the host goes in: no user or group ids, no Unix permissions, no
// extra fields; the "made by" host is MS-DOS with only the folder attribute.
// Times are the files' modification times as local DOS times, the way zip
// tools record them, unless a fixed time is given (SOURCE_DATE_EPOCH): then
// every entry carries that time, taken in UTC so the time zone cannot change
// the bytes.
//
// Names are converted to the target code page (text_encoding.h) and must
// stay within ZIP_NAME_MAX_BYTES. Symbolic links to files inside the folder
// are followed (the member holds the file's content); links that lead
// outside it, links to folders and special files are refused.
//
// Files are read and compressed by several threads at once; each file is
// compressed on its own, so the result does not depend on their number.
#pragma once

#include "host_system.h"
#include "progress_meter.h"
#include "zip_archive.h"

#include <optional>
#include <string>

// How the members are compressed (--method).
enum class MemberCompression {
    Deflate,  // deflate, or stored where deflate is no smaller
    Lzma,     // LZMA (method 14), or stored where LZMA is no smaller
    Best,     // per member the smallest of stored, deflate and LZMA
};

struct FolderZipOptions {
    MemberCompression compression = MemberCompression::Deflate;
    std::string codepage;
    FileIdentity excluded;              // a previous build's output inside the folder
    std::optional<int64_t> fixed_time;  // SOURCE_DATE_EPOCH, seconds since 1970 UTC
    bool progress_allowed;              // not --quiet
};

ZipArchive ZipFolder(const std::string &root, const FolderZipOptions &options);

// The DOS date and time of a broken-down time; clamped to the DOS range
// (1980 to 2107). Returned as date << 16 | time.
uint32_t DosDateTime(const struct tm &when);
