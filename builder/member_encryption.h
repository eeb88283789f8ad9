// --password: every member of the archive encrypted with the traditional zip
// cipher (the stub's own, extract/crypt/zip_cipher.h), so that the stub and
// any zip tool given the password can read it.
//
// Each member's data is preceded by the 12-byte encryption header: 11 bytes
// from the random source, then the check byte the extractor compares, the
// high byte of the member's CRC-32 (or of its DOS time when it keeps a data
// descriptor, as the extractor expects then). The header and the data are
// encrypted as one stream; flag bit 0 is set and the compressed size grows
// by 12. Folder entries carry no data and are left as they are, as zip tools
// leave them.
#pragma once

#include "random_source.h"
#include "zip_archive.h"

#include <string>

// Refuses (BuildError) an archive with a member already encrypted, and one
// that would reach 2 GiB. password is in the code page's bytes.
void EncryptArchive(ZipArchive &archive, const std::string &password, RandomSource &random);
