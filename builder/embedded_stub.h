// The stubs built by this tree, compiled into tvsfx (generated from
// tvsfx32.exe and tvsfx64.exe by embed_stub.cmake). A size is 0 when the
// native build was configured without that stub; --stub is then required
// for that architecture.
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint8_t EmbeddedStubX86[];  // tvsfx32.exe: PE32, i386; the default
extern const size_t EmbeddedStubX86Bytes;
extern const uint8_t EmbeddedStubX64[];  // tvsfx64.exe: PE32+, x86-64
extern const size_t EmbeddedStubX64Bytes;

// Every language's stubs (the first, Spanish, is the pair above); a size is
// 0 as above. Made by builder/CMakeLists.txt from its list of languages.
struct EmbeddedStubPair {
    const char *language;  // StubLanguage::code
    const uint8_t *x86;
    const size_t *x86_bytes;
    const uint8_t *x64;
    const size_t *x64_bytes;
};
extern const EmbeddedStubPair EmbeddedStubs[];
extern const size_t EmbeddedStubCount;
