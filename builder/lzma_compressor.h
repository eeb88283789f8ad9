// LZMA compression for the members (zip method 14), on Linux by liblzma's
// raw LZMA1 encoder at preset 9e (LZMA_PRESET_EXTREME: the slowest and
// smallest; see "make bench" for its figures). Each member is written in the
// zip form: 2 bytes of encoder version, 2 bytes of properties size (5), the
// 5 property bytes, then the stream, without its end marker (the member's
// size ends it, general-purpose bit 1 clear). The dictionary is never larger
// than the member (nor under 4 KiB), so the installer, which allocates
// the smaller of the two, and any other reader allocate no more than needed.
//
// Debian has no liblzma for MinGW: tvsfx.exe carries no LZMA encoder and
// refuses --method lzma and best (Available() is false there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzma_compressor {

// True when this build can compress with LZMA.
bool Available();

// The member's data for method 14 when it is shorter than limit_bytes, or
// an empty vector (store or deflate it then). Refuses (BuildError) when the
// encoder fails for want of memory. Thread-safe.
std::vector<uint8_t> Compress(const uint8_t *input, size_t input_bytes, size_t limit_bytes);

// The engine and preset, for the summary.
const char *Description();

}  // namespace lzma_compressor
