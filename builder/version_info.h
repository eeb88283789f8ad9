// The installer's version resource (RT_VERSION 1): a VS_VERSIONINFO with the
// fixed file info and one string table, in the language of the stub's
// messages (Spanish, code page 1252: table "0C0A04E4"), which Explorer's
// Details tab and GetFileVersionInfoA/VerQueryValueA read.
//
// VS_VERSIONINFO is a tree of nodes, each wLength, wValueLength, wType
// (1 text, 0 binary), a NUL-terminated UTF-16 key, padding to 4 bytes, the
// value, padding to 4 bytes, and its children:
//   VS_VERSION_INFO  (value: VS_FIXEDFILEINFO, 52 bytes)
//     StringFileInfo
//       0C0A04E4       one String node per field: CompanyName, ...
//     VarFileInfo
//       Translation    (value: the LANGID and the code page, 16 bits each)
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr uint16_t VERSION_LANGUAGE = 0x0C0A;  // Spanish (Spain), the default messages' language
// The Windows language of the string table for an installer whose messages
// are in language_code (--language): English (United States) for "en",
// Spanish (Spain) otherwise. A new language of the stub adds its line here.
uint16_t VersionLanguageOf(const std::string &language_code);
constexpr uint16_t VERSION_CODEPAGE = 1252;    // the ANSI code page the messages are shown in

struct VersionFields {
    uint16_t numbers[4];                                         // X.Y.Z.W
    uint16_t language = VERSION_LANGUAGE;                        // the string table's
    std::vector<std::pair<std::string, std::u16string>> strings;  // key, value, in this order
};

// "X", "X.Y", "X.Y.Z" or "X.Y.Z.W", each 0 to 65535, the missing ones 0.
// Refuses (BuildError) anything else.
void ParseVersionNumbers(const std::string &text, uint16_t numbers[4]);

std::vector<uint8_t> BuildVersionInfo(const VersionFields &fields);

// A version resource read back, for info and verify.
struct VersionFacts {
    uint16_t file_version[4] = {}, product_version[4] = {};
    std::string table;                                            // the string table's key
    std::vector<std::pair<std::string, std::string>> strings;     // UTF-8
    std::string failure;                                          // empty when well formed
};
VersionFacts ReadVersionInfo(const std::vector<uint8_t> &data);
