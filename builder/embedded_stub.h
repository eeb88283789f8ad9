// The stub built by this tree, compiled into tvsfx (generated from
// tvsfx32.exe by embed_stub.cmake). EmbeddedStubBytes is 0 when the native
// build was configured without TALVOK_STUB_EXE; --stub is then required.
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint8_t EmbeddedStub[];
extern const size_t EmbeddedStubBytes;
