// libFuzzer target for the stub's reading of its header (sfx_header.cpp,
// compiled natively through the stand-ins in stub_shim/): the compressed
// header is located through the ParameterBlock, decoded in memory mode and
// split into its fields, each copied into its run-wide buffer (heap blocks
// of their exact sizes, so a copy past one shows).
//   byte 0   bit 0: the title flag; bit 1: the -argv0 flag;
//            bit 2: a module file name long enough to overflow the parameters
//   rest     the compressed header; the first local header follows it
#include <cstdio>
#include <cstdlib>
#include <string>

#include "extract/inflate/stream_buffers.h"
#include "portable/parameter_block.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "startup/sfx_header.h"
#include "stub_stand_ins.h"

uint8_t ParameterBlock[PARAMETER_BLOCK_BYTES];

namespace {

constexpr uint32_t HEADER_OFFSET = 16;  // where the header stands in the fake file

void PutLe32(uint8_t *at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void *AllocateTable(uint32_t size_bytes) { return std::calloc(1, size_bytes); }
void ReleaseTable(void *block) { std::free(block); }
[[noreturn]] void TableMemoryExhausted() { std::abort(); }

}  // namespace

// The decoder's blocks, as start-up lends them (own_file.cpp): heap blocks of
// their exact sizes.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static const TableMemoryHooks tables = {AllocateTable, ReleaseTable, TableMemoryExhausted};
    InitialiseStreams(tables, static_cast<uint8_t *>(std::calloc(1, WINDOW_BYTES)),
                      static_cast<uint8_t *>(std::calloc(1, IO_BUFFER_BYTES)),
                      static_cast<uint8_t *>(std::calloc(1, IO_BUFFER_BYTES)));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    uint32_t flags = 0;
    if (data[0] & 1)
        flags |= FLAG_HAS_TITLE;
    if (data[0] & 2)
        flags |= FLAG_ARGV0;
    static const std::string long_name = "C:\\" + std::string(250, 'x') + "\\setup.exe";
    ModuleFileName = (data[0] & 4) ? long_name.c_str() : "C:\\instaladores\\setup.exe";

    // The fake file: 16 bytes of padding, then the header.
    std::string file(HEADER_OFFSET, '\0');
    file.append(reinterpret_cast<const char *>(data + 1), size - 1);
    SetArchiveBytes(reinterpret_cast<const uint8_t *>(file.data()), file.size());
    PutLe32(ParameterBlock + PB_HEADER, HEADER_OFFSET);
    PutLe32(ParameterBlock + PB_FIRST_LOCAL_HEADER, static_cast<uint32_t>(file.size()));
    PutLe32(ParameterBlock + PB_FLAGS, flags);

    ResetRunState();
    if (AllocateRunBuffers())
        std::abort();
    RunStubCode(ReadHeader);
    // A refused header leaves its work areas to the end of the process,
    // as the stub does: that end is here.
    ReleaseLocalBlocks();
    IntroText = nullptr;
    ReleaseRunBuffers();
    return 0;
}
