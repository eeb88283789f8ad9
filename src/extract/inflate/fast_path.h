// The decoder's fast path and what it borrows from the simple path
// (inflate.cpp). Internal to the decoder.
//
// Portable: no Windows headers.
#pragma once

#include <cstdint>

#include "extract/inflate/code_tables.h"

enum class FastExit { Stopped, EndOfBlock, InvalidCode };

// Decodes symbols of the current block with the given tables while the input
// at InputCursor holds enough bytes for any symbol and the window has room for
// any match, then leaves the state (bit buffer, input, WindowPos) as the
// simple path would have left it. Stopped: it ran up to one of those limits,
// or did not start (distances is null, or the limits are already reached), or
// a memory-mode overrun set Inflate.InputExhausted. EndOfBlock: the
// end-of-block code was taken. InvalidCode: a code with no symbol was met;
// its bits were not taken.
FastExit DecodeSymbolsFast(const CodeEntry *literals, const CodeEntry *distances, uint32_t literal_bits,
                           uint32_t distance_bits);

// The simple path's match copy: copies length_bytes bytes from window
// position source to Inflate.WindowPos, flushing the window whenever it
// fills, and advances Inflate.WindowPos.
void CopyMatch(uint32_t source, uint32_t length_bytes);
