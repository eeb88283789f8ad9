// The decoder's stream buffers and counters, shared by the blob decoding at
// start-up and by every member. Portable: no Windows headers.
#pragma once

#include <cstdint>

// Stream bytes not yet consumed by the decoder; signed, like every offset of
// the program. Start-up sets it to -1 before anything is read.
extern int32_t InputRemaining;
