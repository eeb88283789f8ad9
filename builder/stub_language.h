// The languages a stub speaks: for each, its message texts (for measuring
// the author's texts against the messages they go into) and its compressed
// message table and password dialog as the stub carries them, byte for byte
// (by which an installer's language is known). Made at build time from
// resources/LANGUAGE/ by tools/resgen; the list is builder/CMakeLists.txt's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct StubLanguage {
    const char *code;                  // "es", "en": the folder's name and --language's value
    const char *const *texts;          // MESSAGE_STRING_COUNT texts in code page 850, StringId order
    const uint8_t *message_blob;
    uint32_t message_blob_bytes;
    const uint32_t *message_offsets;   // MESSAGE_STRING_COUNT + 1 entries
    const uint8_t *password_blob;
    uint32_t password_blob_bytes;
};

extern const StubLanguage StubLanguages[];  // the first is the default, Spanish
extern const size_t StubLanguageCount;

// The language of --language's code, or nullptr.
const StubLanguage *FindStubLanguage(const std::string &code);

// "es, en": the codes, for messages and --help.
std::string StubLanguageCodes();

// The language whose message table a stub (or installer) carries, or nullptr
// when it carries none this tvsfx knows.
const StubLanguage *StubLanguageOf(const uint8_t *image, size_t size);
inline const StubLanguage *StubLanguageOf(const std::vector<uint8_t> &image)
{
    return StubLanguageOf(image.data(), image.size());
}

// Checks that the image carries the language's message table, its offsets
// and the password dialog byte for byte, unpacks them as the stub does and
// checks what the stub relies on: the table within its block, with room
// for the main dialog's copy, each text ending in its NUL where the next
// begins, the password template within its block. "" when sound, else why not.
std::string StubTableFault(const StubLanguage &language, const uint8_t *image, size_t size);
