// stamp_entry_point: writes a linked stub's own AddressOfEntryPoint into its
// ParameterBlock.
//
//   stamp_entry_point STUB.exe
//
// Run after the link. The block as compiled holds only its marker; with the
// entry point in place, a stub that was never completed passes its own PE
// check and reaches the completion word, so it says it is incomplete instead
// of calling itself damaged. The builder writes the same value again when it
// completes the stub. A host tool, built and run at build time; the layout
// comes from the same header the stub and the builder read.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "portable/parameter_block.h"

static int Fail(const char *path, const char *why)
{
    std::fprintf(stderr, "stamp_entry_point: %s: %s\n", path, why);
    return 1;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: stamp_entry_point STUB.exe\n");
        return 2;
    }
    const char *path = argv[1];
    std::vector<uint8_t> image;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return Fail(path, "cannot read");
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const uint8_t marker[PARAMETER_MARKER_BYTES] = {PARAMETER_MARKER_INIT};
    size_t block = image.size();
    for (size_t at = 0; at + PARAMETER_BLOCK_BYTES <= image.size(); at++)
        if (std::memcmp(image.data() + at, marker, sizeof marker) == 0) {
            if (block != image.size())
                return Fail(path, "the ParameterBlock marker occurs more than once");
            block = at;
        }
    if (block == image.size())
        return Fail(path, "no ParameterBlock marker");
    if (image.size() < DOS_E_LFANEW + 4)
        return Fail(path, "no DOS header");
    const uint32_t nt = ReadLe32(image.data() + DOS_E_LFANEW);
    if (nt > image.size() || image.size() - nt < PE_ENTRY_POINT + 4 || std::memcmp(image.data() + nt, "PE\0\0", 4))
        return Fail(path, "no PE signature");
    WriteLe32(image.data() + block + PB_ENTRY_POINT, ReadLe32(image.data() + nt + PE_ENTRY_POINT));

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
    return out ? 0 : Fail(path, "cannot write");
}
