// A member held in memory, fed to one of the stub's decoders as the extractor
// feeds it: input handed over IO_CHUNK_BYTES at a time through RefillInput,
// output taken in chunks through WriteOutputBuffer. Shared by the decoder
// benchmarks so that both drive their decoder alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Copy the chunks out (the checked pass) or leave them in place (the timed
// passes, as the stub hands them to the file write).
extern bool CopyChunks;

// The decoder's input hook: the next chunk of the member.
int32_t RefillFromMember();

// The decoder's output hook: the chunk, to the destination.
void WriteChunk();

// Points the input at the member's bytes and the output at destination, and
// starts the member input and the output buffer.
void BeginMemberInMemory(const std::vector<uint8_t> &compressed, uint8_t *destination);

// Writes the last partial chunk, as the extractor does, and returns how many
// bytes went to the destination since BeginMemberInMemory.
size_t FinishMemberInMemory();
