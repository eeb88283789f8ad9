// Reading a zip archive made by any zip tool (--from-zip) into a ZipArchive
// that the writer can re-base into the installer.
//
// The central directory is the authority: it names every member and carries
// the true CRC and sizes, also for members whose local headers left them zero
// (flag bit 3, a streaming writer). Each member's data is located through its
// local header and copied as it is; nothing is recompressed or decrypted.
//
// What the stub cannot extract is refused here, with the member's name:
// Zip64, spanned or split archives, methods other than stored, deflate,
// Deflate64 and LZMA (and LZMA headers the stub's decoder refuses), strong
// encryption, names over ZIP_NAME_MAX_BYTES or that the name check refuses,
// members whose data overlap, folder entries (names ending in a separator)
// that carry unpacked data.
//
// Data descriptors: the stub reads only local headers and steps over exactly
// 16 bytes after the data of a member with bit 3. Since every local header
// written gets the true CRC and sizes, bit 3 is dropped with its descriptor,
// except on an encrypted member: there bit 3 also decides which byte the
// password check compares (the high byte of the DOS time rather than of the
// CRC), and the encryption header was made for the bit as it stood. Such a
// member keeps bit 3 and gets a 16-byte descriptor of the standard form.
#pragma once

#include "ansi_codepage.h"
#include "zip_archive.h"

#include <string>
#include <vector>

// Takes the whole archive file; name is used in messages, codepage is the
// one the names are in as the stub will read them. Refuses (BuildError)
// what it cannot honour, names the stub or Windows cannot take
// (member_name_check.h), members whose data overlap, and anything not a zip
// archive.
ZipArchive ReadZipArchive(std::vector<uint8_t> bytes, const std::string &name, const AnsiCodepage &codepage);
