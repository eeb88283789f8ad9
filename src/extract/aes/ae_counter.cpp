// The AE counter mode (see ae_format.h).
#include "extract/aes/ae_format.h"

#include <cstring>

void ResetAeCounter(AeCounterState &state)
{
    std::memset(state.Counter, 0, sizeof state.Counter);
    state.Used = AE_KEYSTREAM_BYTES;
}

static void IncrementCounter(uint8_t *counter)
{
    for (int at = 0; at < 16 && ++counter[at] == 0; at++) {
    }
}

int ApplyAeCounter(AeCounterState &state, uint8_t *data, size_t count_bytes, EncryptBlocksFunction encrypt_blocks)
{
    while (count_bytes > 0) {
        if (state.Used == AE_KEYSTREAM_BYTES) {
            for (size_t block = 0; block < AE_KEYSTREAM_BYTES; block += 16) {
                IncrementCounter(state.Counter);
                std::memcpy(state.Keystream + block, state.Counter, 16);
            }
            if (encrypt_blocks(state.Keystream, AE_KEYSTREAM_BYTES))
                return 1;
            state.Used = 0;
        }
        size_t run = AE_KEYSTREAM_BYTES - state.Used;
        if (run > count_bytes)
            run = count_bytes;
        const uint8_t *key = state.Keystream + state.Used;
        for (size_t at = 0; at < run; at++)
            data[at] ^= key[at];
        data += run;
        count_bytes -= run;
        state.Used += static_cast<uint32_t>(run);
    }
    return 0;
}
