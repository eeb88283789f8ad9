// The AE extra field (see ae_format.h), for the builder's readers.
#include "extract/aes/ae_format.h"

#include "portable/byte_order.h"

int FindAeField(const uint8_t *extra, size_t extra_bytes, AeField &field)
{
    size_t at = 0;
    while (at + 4 <= extra_bytes) {
        const uint16_t id = ReadLe16(extra + at);
        const size_t block_bytes = ReadLe16(extra + at + 2);
        at += 4;
        if (block_bytes > extra_bytes - at)
            return 0;
        const uint8_t *data = extra + at;
        if (id == AE_EXTRA_ID && block_bytes == AE_EXTRA_DATA_BYTES) {
            const uint16_t version = ReadLe16(data);
            if ((version == AE_VERSION_1 || version == AE_VERSION_2) && data[2] == 'A' && data[3] == 'E' &&
                AeKeyBytes(data[4]) != 0) {
                field = AeField{version, data[4], ReadLe16(data + 5)};
                return 1;
            }
        }
        at += block_bytes;
    }
    return 0;
}
