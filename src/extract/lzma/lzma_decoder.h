// The LZMA decoder for zip method 14. A member's data is the zip form of an
// LZMA stream: 2 bytes of encoder version (ignored), 2 bytes of properties
// size (always 5), the 5 property bytes (lc/lp/pb packed as
// (pb * 5 + lp) * 9 + lc, then the dictionary size, little-endian), then the
// range-coded stream itself. The stream ends at the member's uncompressed
// size; when general-purpose bit 1 is set it also carries the end marker
// (a match of distance 0xFFFFFFFF) right after the last byte, which is
// decoded and checked unless the range coder has already finished there.
//
// One decoder per process, global state, one stream at a time. Bytes come in
// through NextInputByte (so decryption and disk changes happen in the member
// input as for deflate) and leave through FlushBytes: decoded bytes go to the
// dictionary first, a circular buffer allocated per member through
// StreamCalls.AllocateTable, and leave it whenever 0x7000 of them are
// pending, so output goes out in chunks of IO_CHUNK_BYTES except the last.
//
// Memory: the dictionary is the smaller of the stream's dictionary size and
// the member's size (at least 1 byte); a member that would need more than
// LZMA_DICTIONARY_LIMIT_BYTES is refused. The probability model takes
// 2 * (1846 + 0x300 << (lc + lp)) bytes, at most 6 MiB. Both blocks are
// released when the stream ends, or by ReleaseLzmaBuffers when a run is
// abandoned in the middle (the extraction run's abort point). Stack use is
// small and fixed.
//
// Portable: no Windows headers; the stub, the native tests, the fuzzer, the
// benchmark and the builder's verify build the same sources.
#pragma once

#include <cstdint>

constexpr uint32_t LZMA_DICTIONARY_LIMIT_BYTES = 64u << 20;  // the largest dictionary a member may need
constexpr uint32_t LZMA_DICTIONARY_MIN_BYTES = 1u << 12;     // smaller sizes in the properties mean this
constexpr uint32_t LZMA_ZIP_HEADER_BYTES = 9;                // version 2, properties size 2, properties 5
constexpr uint32_t LZMA_PROPERTIES_BYTES = 5;
constexpr uint32_t LZMA_PROPERTIES_LIMIT = 9 * 5 * 5;        // lc < 9, lp < 5, pb < 5
static_assert(LZMA_ZIP_HEADER_BYTES == 4 + LZMA_PROPERTIES_BYTES, "the zip header ends with the properties");

enum class LzmaResult : int {
    Done = 0,     // decoded to the member's size (and its end marker when flagged)
    Damaged = 1,  // damaged or truncated data; what was decoded is flushed
    Refused = 2,  // a header this decoder does not take; nothing was decoded
};

// Why a stream stopped short: the one list of the decoder's refusals.
// DecodeLzmaMember leaves it in Lzma.Reason.
enum class LzmaRejection : uint8_t {
    None = 0,               // Done
    InputExhausted,         // Damaged: the member's data ends inside the stream
    BadRangeCoderStart,     // Damaged: the range coder's first byte is not 0, or its code is all ones
    BadDistance,            // Damaged: a match reaches before the first byte or past the dictionary
    EarlyEndMarker,         // Damaged: the end marker comes before the member's size
    MatchPastEnd,           // Damaged: a match runs on past the member's size
    MissingEndMarker,       // Damaged: bit 1 is set, and another symbol follows the last byte
    UnfinishedRangeCoder,   // Damaged: the range coder's code is not 0 at the end
    BadPropertiesSize,      // Refused: the properties size is not 5
    PropertiesOutOfRange,   // Refused: the lc/lp/pb byte is 225 or more
    DictionaryOverLimit,    // Refused: the member needs a dictionary over LZMA_DICTIONARY_LIMIT_BYTES
};

struct LzmaState {
    uint8_t *Dictionary;          // DictionaryBytes, from StreamCalls.AllocateTable; null between streams
    uint32_t DictionaryBytes;
    uint16_t *Probabilities;      // the model; null between streams
    uint32_t DictionarySize;      // from the properties, at least LZMA_DICTIONARY_MIN_BYTES
    uint8_t LiteralContextBits;   // lc, 0..8
    uint8_t LiteralPositionBits;  // lp, 0..4
    uint8_t PositionBits;         // pb, 0..4
    uint8_t InputExhausted;       // set when a byte was asked for and none came
    LzmaRejection Reason;         // why the last DecodeLzmaMember stopped short
};

extern LzmaState Lzma;

// Frees the dictionary and the model if a stream left them (an abandoned
// run) and clears every field.
void ReleaseLzmaBuffers();

// Decodes one member's data, zip header first, from the current input to
// the current output (file mode). uncompressed_bytes is the member's size;
// end_marker is general-purpose bit 1.
// Done: exactly uncompressed_bytes decoded and flushed but the last partial
// chunk, which stays in OutputBuffer (OutputFill bytes) for the caller; input
// the stream did not use is left unread.
// Damaged: for the reason in Lzma.Reason; what was decoded is flushed the
// same way. Refused: nothing decoded.
// Allocation failure goes to StreamCalls.TableMemoryExhausted.
// Changes Lzma, the input counters and the output pointers.
[[nodiscard]] LzmaResult DecodeLzmaMember(uint32_t uncompressed_bytes, uint8_t end_marker);
