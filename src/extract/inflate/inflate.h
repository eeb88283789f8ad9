// The deflate decoder: raw RFC 1951 streams, and for zip method 9 the
// Deflate64 variant (64 KiB window, length code 285 = 3 + 16 extra bits,
// distance codes 30 and 31). One decoder per process, global state, one
// stream at a time; not re-entrant.
//
// Bytes come in through NextInputByte and leave through FlushWindow (see
// stream_buffers.h): decoded bytes go to the 64 KiB circular window first,
// which is flushed when full and at the end of the stream, so output leaves
// in chunks of IO_CHUNK_BYTES except the last.
//
// Allocation: only code tables, through StreamCalls; a block's dynamic tables
// live for that block, the fixed tables for the process (rebuilt when the mode
// changes). Stack use is small and fixed.
//
// Portable: no Windows headers; the stub, the native tests, the fuzzer and the
// benchmark build the same sources.
#pragma once

#include <cstdint>

#include "extract/inflate/code_tables.h"

enum class InflateResult : int {
    Done = 0,      // decoded to the end of the last block; all output flushed
    Damaged = 1,   // damaged or truncated data (or memory-mode output overrun)
    Reserved = 2,  // a block of the reserved type 3, or an over-subscribed code
};

// Why a stream stopped short: the one list of the decoder's refusals, each
// with the result it gives. InflateStream leaves it in Inflate.Reason.
enum class Rejection : uint8_t {
    None = 0,                 // Done
    InputExhausted,           // Damaged: the input ran out
    OutputOverrun,            // Damaged: memory-mode output reached its capacity
    StoredLengthMismatch,     // Damaged: a stored block's LEN is not NLEN's complement
    InvalidCode,              // Damaged: a code with no symbol (free code space, 286, 287)
    CountsOverLimit,          // Damaged: nl > 288 or nd > 32
    BadCodeLengths,           // Damaged: a code-length run past nl + nd, or an invalid code
    IncompleteCode,           // Damaged: an incomplete or empty code-length or literal/length code
    LengthsWithoutDistances,  // Damaged: nl > 257 but no distance code
    ReservedBlockType,        // Reserved: block type 3
    OversubscribedCode,       // Reserved: lengths that ask for more codes than exist
};

struct InflateState {
    uint32_t BitBuffer;        // pending input bits, next bit in bit 0
    uint32_t BitCount;         // valid bits in BitBuffer
    uint32_t WindowPos;        // next write position in the window, 0..65535
    uint8_t InputExhausted;    // set by NextInputByte (and a memory-mode overrun)
    uint8_t LastInputByte;     // last byte delivered; reused when none comes
    uint8_t Deflate64Mode;     // argument of the current InflateStream call
    uint8_t FixedTablesMode;   // Deflate64Mode the fixed tables were built for
    uint8_t SimplePathOnly;    // 1: never take the fast paths (the tests set it)
    Rejection Reason;          // why the last InflateStream call stopped short
    CodeEntry *FixedLiteralTable;    // built on first use, kept for the process
    uint32_t FixedLiteralBits;
    CodeEntry *FixedDistanceTable;
    uint32_t FixedDistanceBits;
    CodeEntry *BlockLiteralTable;    // the current dynamic block's tables
    CodeEntry *BlockDistanceTable;
    uint8_t CodeLengths[LITERAL_SYMBOLS + DISTANCE_SYMBOLS];  // dynamic block's lengths
    uint8_t FixedLengths[LITERAL_SYMBOLS];                    // fixed literal/length lengths
    uint16_t SymbolsByLength[LITERAL_SYMBOLS];                // scratch lent to BuildCodeTables
};
static_assert(LITERAL_SYMBOLS + DISTANCE_SYMBOLS == 320, "scratch for nl + nd lengths");
static_assert(CODE_LENGTH_SYMBOLS <= LITERAL_SYMBOLS + DISTANCE_SYMBOLS,
              "the code-length code's lengths share the scratch");

extern InflateState Inflate;

// Frees any cached or live tables and clears every field.
void ResetInflateState();

// Decodes one complete stream from the current input to the current output.
// deflate64: 0 for deflate (method 8), 1 for Deflate64 (method 9).
// Done: every block decoded through the last; the output is flushed
// (in file mode the last partial chunk stays in OutputBuffer, OutputFill
// bytes, for the caller to write).
// Damaged or Reserved: for the reason in Inflate.Reason (list above). When
// the input ran out inside a block (at a symbol or a stored byte) what was
// decoded is flushed; in every other case the unflushed window contents are
// dropped.
// Changes Inflate (all but the fixed tables are reset on entry), the window,
// the input counters and the output pointers.
[[nodiscard]] InflateResult InflateStream(uint8_t deflate64);

enum class BlobResult : int {
    Decoded = 0,  // the stream decoded completely within the capacity
    Damaged = 1,  // the stream is damaged or truncated (its output fits)
    Overrun = 2,  // the output would pass the capacity; it was cut there
};

// Decodes a deflate blob of blob_bytes at blob into destination, in memory
// mode, never writing past destination + capacity_bytes. Sets up and clears
// the stream fields as the blob callers need: afterwards MemoryOutput is 0
// and InputCursor and OutputPointer are null. Callers turn Overrun into their
// header-corrupt abort.
[[nodiscard]] BlobResult DecodeBlob(const uint8_t *blob, int32_t blob_bytes, uint8_t *destination,
                                    uint32_t capacity_bytes);
