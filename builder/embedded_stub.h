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
