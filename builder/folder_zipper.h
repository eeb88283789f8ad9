// Making the archive from a folder (--from-dir).
//
// The folder is walked depth first with each folder's entries sorted by their
// bytes, so the same tree always gives the same archive: every folder below
// the root becomes an entry "name/" ahead of its contents, every regular file
// a member, deflated (libdeflate) or stored when deflate does not make it
// smaller. Times are the files' modification times as local DOS times, the
// way zip tools record them. Names are converted to the target code page
// (text_encoding.h) and must stay within ZIP_NAME_MAX_BYTES. Symbolic links
// to files are followed; links to folders and special files are refused.
#pragma once

#include "zip_archive.h"

#include <string>
#include <sys/types.h>

// A file the walk must leave out (the output of a previous build sitting in
// the input folder); dev 0 and inode 0 leave out nothing.
struct ExcludedFile {
    dev_t device;
    ino_t inode;
};

ZipArchive ZipFolder(const std::string &root, const std::string &codepage, ExcludedFile excluded);

// The DOS date and time of a Unix time, in local time; clamped to the DOS
// range (1980 to 2107). Returned as date << 16 | time.
uint32_t DosDateTime(time_t when);
