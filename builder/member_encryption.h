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

// --encryption aes256 (the default with a password): every member but folder
// entries made an AE-2 member of AES-256. Its data becomes a 16-byte salt
// from the random source, the 2-byte password verifier, the data encrypted
// in the AE counter mode and the first 10 bytes of an HMAC-SHA1 over that
// (keys from PBKDF2-HMAC-SHA1, 1000 iterations); the method becomes 99 with
// the real one in the AE field (0x9901) of both extra fields, the CRC field
// 0 as AE-2 has it, flag bit 0 set, version needed 5.1. The same refusals
// as EncryptArchive.
void EncryptArchiveAes(ZipArchive &archive, const std::string &password, RandomSource &random);
