#include "member_in_memory.h"

#include <cstring>

#include "extract/inflate/stream_buffers.h"

bool CopyChunks = true;

namespace {

const uint8_t *member_next;
const uint8_t *member_end;
uint8_t *destination_start;
uint8_t *destination_next;

}  // namespace

int32_t RefillFromMember()
{
    int32_t want_bytes = InputRemaining < int32_t(IO_CHUNK_BYTES) ? InputRemaining : int32_t(IO_CHUNK_BYTES);
    int32_t have_bytes = int32_t(member_end - member_next);
    int32_t count_bytes = want_bytes < have_bytes ? want_bytes : have_bytes;
    if (count_bytes <= 0) {
        Stream.InputAvailable = 0;
        return 0;
    }
    Stream.InputCursor = member_next;
    member_next += count_bytes;
    Stream.InputAvailable = count_bytes - 1;
    return count_bytes;
}

void WriteChunk()
{
    if (CopyChunks)
        std::memcpy(destination_next, Stream.OutputBuffer, Stream.OutputFill);
    destination_next += Stream.OutputFill;
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
}

void BeginMemberInMemory(const std::vector<uint8_t> &compressed, uint8_t *destination)
{
    member_next = compressed.data();
    member_end = member_next + compressed.size();
    destination_start = destination_next = destination;
    BeginMemberInput(int32_t(compressed.size()));
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
}

size_t FinishMemberInMemory()
{
    WriteChunk();
    return size_t(destination_next - destination_start);
}
