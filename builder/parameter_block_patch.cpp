// ParameterBlock completion (see parameter_block_patch.h).
#include "parameter_block_patch.h"

#include "build_error.h"
#include "extract/crc32.h"
#include "pe_image.h"
#include "portable/parameter_block.h"

#include <algorithm>
#include <cstring>

size_t FindParameterBlock(const std::vector<uint8_t> &stub)
{
    static const uint8_t marker[PARAMETER_MARKER_BYTES] = {PARAMETER_MARKER_INIT};
    std::vector<size_t> found;
    auto at = stub.begin();
    while ((at = std::search(at, stub.end(), marker, marker + PARAMETER_MARKER_BYTES)) != stub.end()) {
        found.push_back(size_t(at - stub.begin()));
        ++at;
    }
    if (found.empty())
        Refuse("stub: no ParameterBlock (its marker KDX\\x01sfx\\x02 is not in the file)");
    if (found.size() > 1)
        Refuse("stub: the ParameterBlock marker occurs %zu times (at 0x%zX and 0x%zX); it must occur once",
               found.size(), found[0], found[1]);
    if (stub.size() - found[0] < PARAMETER_BLOCK_BYTES)
        Refuse("stub: the ParameterBlock at 0x%zX runs past the end of the file", found[0]);
    return found[0];
}

uint32_t CoveredRegionStart(const std::vector<uint8_t> &image, uint32_t flags)
{
    if (!(flags & FLAG_SIGN_FRIENDLY))
        return 0;
    return NtHeadersEnd(image);
}

uint32_t CompleteParameterBlock(std::vector<uint8_t> &image, size_t block_offset,
                                const ParameterFields &fields)
{
    if (fields.wait_name.size() >= PB_WAIT_NAME_BYTES)
        Refuse("--wait-name: \"%s\" is over %zu bytes", fields.wait_name.c_str(), PB_WAIT_NAME_BYTES - 1);
    BuildCrcTable();
    const uint32_t region_start = CoveredRegionStart(image, fields.flags);
    if (fields.first_local_header > image.size() || block_offset < region_start ||
        block_offset + PARAMETER_BLOCK_BYTES > fields.first_local_header)
        Refuse("internal: the ParameterBlock at 0x%zX lies outside the covered region", block_offset);

    uint8_t *block = image.data() + block_offset;
    WriteLe32(block + PB_CRC, 0);
    WriteLe32(block + PB_FIRST_LOCAL_HEADER, fields.first_local_header);
    WriteLe32(block + PB_HEADER, fields.header);
    WriteLe32(block + PB_END_RECORD, fields.end_record);
    WriteLe32(block + PB_TOTAL_SIZE, fields.total_size);
    WriteLe32(block + PB_FLAGS, fields.flags);
    std::memset(block + PB_WAIT_NAME, 0, PB_WAIT_NAME_BYTES);
    std::memcpy(block + PB_WAIT_NAME, fields.wait_name.data(), fields.wait_name.size());
    WriteLe16(block + PB_COMPLETION, COMPLETION_WORD);
    WriteLe32(block + PB_ENTRY_POINT, fields.entry_point);

    // With its own field still zero, exactly as the self-check sees the file.
    const uint32_t crc = Crc32Of(image.data() + region_start, fields.first_local_header - region_start);
    WriteLe32(block + PB_CRC, crc);
    return crc;
}
