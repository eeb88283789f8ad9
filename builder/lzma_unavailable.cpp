// tvsfx.exe's stand-in for the LZMA encoder (see lzma_compressor.h): Debian
// has no liblzma for MinGW, so this build offers deflate only.
#include "lzma_compressor.h"

namespace lzma_compressor {

bool Available()
{
    return false;
}

const char *Description()
{
    return "none in this build";
}

std::vector<uint8_t> Compress(const uint8_t *, size_t, size_t)
{
    return {};
}

}  // namespace lzma_compressor
