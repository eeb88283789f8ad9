// Byte input and chunked output of the decoder; see stream_buffers.h.
#include "extract/inflate/stream_buffers.h"

#include <cstdlib>
#include <cstring>

#include "extract/inflate/inflate.h"

int32_t InputRemaining;
StreamBuffers Stream;

static int32_t NoInput()
{
    return 0;
}

static void DiscardOutput()
{
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
}

static void *AllocateZeroed(uint32_t size_bytes)
{
    return std::calloc(1, size_bytes);
}

static void ReleaseBlock(void *block)
{
    std::free(block);
}

static void AbortOnExhaustion()
{
    std::abort();
}

// The hooks start as the defaults, so a decode before any set-up is safe.
StreamHooks StreamCalls = {NoInput, DiscardOutput, AllocateZeroed, ReleaseBlock, AbortOnExhaustion};

void ResetStreamBuffers()
{
    Stream.Window = nullptr;
    Stream.InputBuffer = nullptr;
    Stream.InputCursor = nullptr;
    Stream.InputAvailable = 0;
    Stream.OutputBuffer = nullptr;
    Stream.OutputPointer = nullptr;
    Stream.OutputFill = 0;
    Stream.MemoryOutput = 0;
    Stream.OutputOverrun = 0;
    Stream.OutputLimit = nullptr;
}

void ResetStreamHooks()
{
    StreamCalls.RefillInput = NoInput;
    StreamCalls.WriteOutputBuffer = DiscardOutput;
    StreamCalls.AllocateTable = AllocateZeroed;
    StreamCalls.ReleaseTable = ReleaseBlock;
    StreamCalls.TableMemoryExhausted = AbortOnExhaustion;
}

void InitialiseStreams(const TableMemoryHooks &table_hooks, uint8_t *window, uint8_t *input_buffer,
                       uint8_t *output_buffer)
{
    Stream.Window = window;
    Stream.InputBuffer = input_buffer;
    Stream.OutputBuffer = output_buffer;
    StreamCalls.AllocateTable = table_hooks.AllocateTable;
    StreamCalls.ReleaseTable = table_hooks.ReleaseTable;
    StreamCalls.TableMemoryExhausted = table_hooks.TableMemoryExhausted;
    InputRemaining = -1;
}

void DetachStreams()
{
    Stream.Window = nullptr;
    Stream.InputBuffer = nullptr;
    Stream.OutputBuffer = nullptr;
}

void BeginMemberInput(int32_t compressed_bytes)
{
    InputRemaining = compressed_bytes;
    Stream.InputAvailable = 0;
    Stream.InputCursor = Stream.InputBuffer;
}

uint32_t NextInputByte(uint8_t &byte)
{
    if (InputRemaining <= 0) {
        Inflate.InputExhausted = 1;
        return 0;
    }
    if (Stream.InputAvailable > 0) {
        Stream.InputAvailable--;
    } else if (Stream.MemoryOutput || StreamCalls.RefillInput() <= 0) {
        // A blob is all in memory: there is nothing to refill from.
        Inflate.InputExhausted = 1;
        return 0;
    }
    byte = *Stream.InputCursor++;
    InputRemaining--;
    return 8;
}

uint32_t TakeInputBytes(uint8_t *destination, uint32_t max_bytes)
{
    if (InputRemaining <= 0) {
        Inflate.InputExhausted = 1;
        return 0;
    }
    // Bytes at InputCursor: InputAvailable, or after a refill all the count
    // (a refill leaves InputAvailable one short for NextInputByte's first take).
    uint32_t available_bytes;
    if (Stream.InputAvailable > 0) {
        available_bytes = static_cast<uint32_t>(Stream.InputAvailable);
    } else if (Stream.MemoryOutput || StreamCalls.RefillInput() <= 0) {
        Inflate.InputExhausted = 1;
        return 0;
    } else {
        available_bytes = static_cast<uint32_t>(Stream.InputAvailable) + 1;
    }
    uint32_t taken_bytes = available_bytes < max_bytes ? available_bytes : max_bytes;
    if (taken_bytes > static_cast<uint32_t>(InputRemaining))
        taken_bytes = static_cast<uint32_t>(InputRemaining);
    std::memcpy(destination, Stream.InputCursor, taken_bytes);
    Stream.InputCursor += taken_bytes;
    Stream.InputAvailable = static_cast<int32_t>(available_bytes - taken_bytes);
    InputRemaining -= static_cast<int32_t>(taken_bytes);
    return taken_bytes;
}

void FlushWindow(uint32_t count_bytes)
{
    FlushBytes(Stream.Window, count_bytes);
}

void FlushBytes(const uint8_t *next, uint32_t count_bytes)
{
    while (count_bytes > 0) {
        uint32_t piece_bytes = IO_CHUNK_BYTES - Stream.OutputFill;
        if (piece_bytes > count_bytes)
            piece_bytes = count_bytes;
        if (Stream.MemoryOutput) {
            if (Stream.OutputOverrun)
                return;
            uintptr_t room_bytes = 0;
            if (Stream.OutputLimit && Stream.OutputPointer < Stream.OutputLimit)
                room_bytes = uintptr_t(Stream.OutputLimit - Stream.OutputPointer);
            if (piece_bytes > room_bytes) {
                if (room_bytes > 0)
                    std::memcpy(Stream.OutputPointer, next, room_bytes);
                Stream.OutputPointer += room_bytes;
                Stream.OutputOverrun = 1;
                Inflate.InputExhausted = 1;
                return;
            }
        }
        std::memcpy(Stream.OutputPointer, next, piece_bytes);
        Stream.OutputPointer += piece_bytes;
        Stream.OutputFill += piece_bytes;
        next += piece_bytes;
        count_bytes -= piece_bytes;
        if (Stream.OutputFill == IO_CHUNK_BYTES) {
            if (Stream.MemoryOutput)
                Stream.OutputFill = 0;  // the chunk stays where it is
            else
                StreamCalls.WriteOutputBuffer();
        }
    }
}

void SetMemberIoHooks(int32_t (*refill)(), void (*write)())
{
    StreamCalls.RefillInput = refill;
    StreamCalls.WriteOutputBuffer = write;
}
