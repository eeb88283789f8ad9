// Deflate and Deflate64 decoding: block headers, stored, fixed and dynamic
// blocks, and symbol decoding into the 64 KiB window. See inflate.h for the
// contract and code_tables.h for the lookup tables.
//
// Two paths decode symbols and stored bytes, and leave the state the same way:
//  - The simple path follows the format bit by bit. Bits come through
//    NeedBits, one byte at a time from NextInputByte; when no byte comes, the
//    previous byte is used again and InputExhausted stops the decoder at its
//    next check (the top of a block, of a symbol or of a stored byte). Every
//    window byte is checked for the wrap. It alone handles the ends of the
//    input buffer, of the stream and of the window.
//  - The fast paths run while the input at InputCursor holds at least
//    FAST_INPUT_MARGIN bytes and the window has room for a whole match. They
//    read the input a machine word at a time into a register-sized bit
//    buffer, decode without end checks, and copy matches a word at a time. On
//    leaving they give whole unused bytes back to the input, so that the
//    simple path finds the state it would have made itself.
// Inflate.SimplePathOnly forces the simple path; the tests run every stream
// both ways.
#include "extract/inflate/inflate.h"

#include <cstring>

#include "extract/inflate/fast_path.h"
#include "extract/inflate/stream_buffers.h"

InflateState Inflate;

// Records why the stream stops and gives that reason's result.
static InflateResult Reject(Rejection reason)
{
    Inflate.Reason = reason;
    if (reason == Rejection::ReservedBlockType || reason == Rejection::OversubscribedCode)
        return InflateResult::Reserved;
    return InflateResult::Damaged;
}

// Every rejection of bad input is one of these, so one search finds them all.
// The reasons are the Rejection list in inflate.h.
#define SAFETY_CHECK(condition, reason)  \
    do {                                 \
        if (!(condition))                \
            return Reject(reason);       \
    } while (0)

// A table's result: an over-subscribed code, then an incomplete one.
#define SAFETY_CHECK_TABLE(built)                                                     \
    do {                                                                              \
        SAFETY_CHECK((built) != TableResult::Oversubscribed, Rejection::OversubscribedCode); \
        SAFETY_CHECK((built) == TableResult::Complete, Rejection::IncompleteCode);    \
    } while (0)

// InputExhausted is set by the input running out and by a memory-mode overrun.
static Rejection ExhaustionReason()
{
    return Stream.OutputOverrun ? Rejection::OutputOverrun : Rejection::InputExhausted;
}

constexpr uint32_t STORED_HEADER_BITS = 16;
constexpr uint8_t CODE_LENGTH_ORDER[CODE_LENGTH_SYMBOLS] = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr uint32_t REPEAT_PREVIOUS_SYMBOL = 16;  // 2 extra bits, 3..6 times
constexpr uint32_t SHORT_ZERO_RUN_SYMBOL = 17;   // 3 extra bits, 3..10 zeros
constexpr uint32_t LONG_ZERO_RUN_SYMBOL = 18;    // 7 extra bits, 11..138 zeros

void ResetInflateState()
{
    FreeCodeTables(Inflate.FixedLiteralTable);
    FreeCodeTables(Inflate.FixedDistanceTable);
    FreeCodeTables(Inflate.BlockLiteralTable);
    FreeCodeTables(Inflate.BlockDistanceTable);
    std::memset(&Inflate, 0, sizeof Inflate);
}

// The table builder's report when table memory runs out: frees the current
// block's tables and calls StreamCalls.TableMemoryExhausted.
static void ReleaseBlockTablesAndReport()
{
    FreeCodeTables(Inflate.BlockLiteralTable);
    FreeCodeTables(Inflate.BlockDistanceTable);
    Inflate.BlockLiteralTable = nullptr;
    Inflate.BlockDistanceTable = nullptr;
    StreamCalls.TableMemoryExhausted();
}

// What every table build borrows: Inflate's scratch and the report above.
static const TableBuildContext TABLE_BUILD = {Inflate.SymbolsByLength, ReleaseBlockTablesAndReport};

// ---------------------------------------------------------------------------
// Simple path: bit input, window output, match copy

// Makes BitCount at least bit_count (<= 16), a byte at a time.
static void NeedBits(uint32_t bit_count)
{
    while (Inflate.BitCount < bit_count) {
        // On failure LastInputByte keeps the previous byte, which is used again.
        (void)NextInputByte(Inflate.LastInputByte);
        Inflate.BitBuffer |= uint32_t(Inflate.LastInputByte) << Inflate.BitCount;
        Inflate.BitCount += 8;
    }
}

static void DropBits(uint32_t bit_count)
{
    Inflate.BitBuffer >>= bit_count;
    Inflate.BitCount -= bit_count;
}

static uint32_t PeekBits(uint32_t bit_count)
{
    return Inflate.BitBuffer & BitMasks[bit_count];
}

// Reads bit_count (<= 16) bits as a number.
static uint32_t TakeBits(uint32_t bit_count)
{
    NeedBits(bit_count);
    uint32_t value = PeekBits(bit_count);
    DropBits(bit_count);
    return value;
}

static void PutWindowByte(uint8_t byte)
{
    Stream.Window[Inflate.WindowPos] = byte;
    if (Inflate.WindowPos == WINDOW_BYTES - 1) {
        FlushWindow(WINDOW_BYTES);
        Inflate.WindowPos = 0;
    } else {
        Inflate.WindowPos++;
    }
}

// See fast_path.h. Pieces end at the window's end (flushing it there). A
// piece whose source lies behind it closer than its length overlaps and goes
// byte by byte, repeating the pattern; any other piece is one block move.
void CopyMatch(uint32_t source, uint32_t length_bytes)
{
    uint8_t *window = Stream.Window;
    uint32_t position = Inflate.WindowPos;
    while (length_bytes > 0) {
        uint32_t piece_bytes = WINDOW_BYTES - (source > position ? source : position);
        if (piece_bytes > length_bytes)
            piece_bytes = length_bytes;
        if (position - source >= piece_bytes) {
            // Either apart, or the source ahead of the destination, where a
            // forward copy reads every byte before overwriting it.
            std::memmove(window + position, window + source, piece_bytes);
        } else {
            for (uint32_t i = 0; i < piece_bytes; i++)
                window[position + i] = window[source + i];
        }
        position += piece_bytes;
        source = (source + piece_bytes) & WINDOW_MASK;
        length_bytes -= piece_bytes;
        if (position == WINDOW_BYTES) {
            FlushWindow(WINDOW_BYTES);
            position = 0;
        }
    }
    Inflate.WindowPos = position;
}

// Decodes one code from the table whose root has lookup_bits index bits.
// Returns the final entry with its bits dropped, or an OP_INVALID entry.
static const CodeEntry *DecodeCode(const CodeEntry *table, uint32_t lookup_bits)
{
    NeedBits(lookup_bits);
    const CodeEntry *entry = table + PeekBits(lookup_bits);
    while (entry->Op > OP_LITERAL) {
        if (entry->Op == OP_INVALID)
            return entry;
        DropBits(entry->Bits);
        uint32_t index_bits = entry->Op - OP_LITERAL;
        NeedBits(index_bits);
        entry = entry->SubTable + PeekBits(index_bits);
    }
    DropBits(entry->Bits);
    return entry;
}

// ---------------------------------------------------------------------------
// Blocks

// Decodes literals and matches with the given tables up to the end of the
// block. Done at the end-of-block code. Damaged on an invalid code (window
// not flushed), or when the input is exhausted at the top of a symbol (what
// was decoded is flushed).
static InflateResult DecodeSymbols(const CodeEntry *literals, const CodeEntry *distances,
                                   uint32_t literal_bits, uint32_t distance_bits)
{
    while (!Inflate.InputExhausted) {
        if (!Inflate.SimplePathOnly) {
            FastExit exit = DecodeSymbolsFast(literals, distances, literal_bits, distance_bits);
            if (exit == FastExit::EndOfBlock)
                return InflateResult::Done;
            SAFETY_CHECK(exit != FastExit::InvalidCode, Rejection::InvalidCode);
            if (Inflate.InputExhausted)
                break;
        }
        const CodeEntry *entry = DecodeCode(literals, literal_bits);
        SAFETY_CHECK(entry->Op != OP_INVALID, Rejection::InvalidCode);
        if (entry->Op == OP_LITERAL) {
            PutWindowByte(uint8_t(entry->Value));
            continue;
        }
        if (entry->Op == OP_END_OF_BLOCK)
            return InflateResult::Done;
        uint32_t length_bytes = entry->Value + TakeBits(entry->Op);
        // Only a block whose code has lengths gets here, and such a block
        // always has a distance code.
        SAFETY_CHECK(distances != nullptr, Rejection::LengthsWithoutDistances);
        entry = DecodeCode(distances, distance_bits);
        SAFETY_CHECK(entry->Op != OP_INVALID, Rejection::InvalidCode);
        uint32_t distance_bytes = entry->Value + TakeBits(entry->Op);
        CopyMatch((Inflate.WindowPos - distance_bytes) & WINDOW_MASK, length_bytes);
    }
    FlushWindow(Inflate.WindowPos);
    return Reject(ExhaustionReason());
}

// Stored block: LEN bytes after the byte boundary, guarded by NLEN. A block of
// length 0 is valid and adds nothing.
static InflateResult CopyStoredBlock()
{
    DropBits(Inflate.BitCount & 7);
    uint32_t length_bytes = TakeBits(STORED_HEADER_BITS);
    NeedBits(STORED_HEADER_BITS);
    uint32_t complement = PeekBits(STORED_HEADER_BITS);
    SAFETY_CHECK(length_bytes == (~complement & 0xFFFF), Rejection::StoredLengthMismatch);
    DropBits(STORED_HEADER_BITS);

    while (length_bytes > 0) {
        if (Inflate.InputExhausted) {
            FlushWindow(Inflate.WindowPos);
            return Reject(ExhaustionReason());
        }
        // Fast path: on a byte boundary with nothing pending, copy straight
        // from the input buffer, as far as input, block and window allow.
        int32_t available_bytes = Stream.InputAvailable < InputRemaining ? Stream.InputAvailable : InputRemaining;
        if (!Inflate.SimplePathOnly && Inflate.BitCount == 0 && available_bytes > 0) {
            uint32_t piece_bytes = WINDOW_BYTES - Inflate.WindowPos;
            if (piece_bytes > length_bytes)
                piece_bytes = length_bytes;
            if (piece_bytes > uint32_t(available_bytes))
                piece_bytes = uint32_t(available_bytes);
            std::memcpy(Stream.Window + Inflate.WindowPos, Stream.InputCursor, piece_bytes);
            Stream.InputCursor += piece_bytes;
            Stream.InputAvailable -= int32_t(piece_bytes);
            InputRemaining -= int32_t(piece_bytes);
            Inflate.LastInputByte = Stream.InputCursor[-1];
            length_bytes -= piece_bytes;
            Inflate.WindowPos += piece_bytes;
            if (Inflate.WindowPos == WINDOW_BYTES) {
                FlushWindow(WINDOW_BYTES);
                Inflate.WindowPos = 0;
            }
            continue;
        }
        NeedBits(8);
        PutWindowByte(uint8_t(Inflate.BitBuffer));
        DropBits(8);
        length_bytes--;
    }
    return InflateResult::Done;
}

// Fixed-code block. The fixed tables are built on first use and kept; a
// change between deflate and Deflate64 rebuilds them, since code 285 differs.
static InflateResult DecodeFixedBlock()
{
    if (Inflate.FixedTablesMode != Inflate.Deflate64Mode || !Inflate.FixedLiteralTable ||
        !Inflate.FixedDistanceTable) {
        FreeCodeTables(Inflate.FixedLiteralTable);
        FreeCodeTables(Inflate.FixedDistanceTable);
        Inflate.FixedLiteralTable = nullptr;
        Inflate.FixedDistanceTable = nullptr;
    }
    Inflate.FixedTablesMode = Inflate.Deflate64Mode;
    if (!Inflate.FixedLiteralTable) {
        uint8_t *lengths = Inflate.FixedLengths;
        std::memset(lengths, 8, 144);
        std::memset(lengths + 144, 9, 256 - 144);
        std::memset(lengths + 256, 7, 280 - 256);
        std::memset(lengths + 280, 8, LITERAL_SYMBOLS - 280);
        Inflate.FixedLiteralBits = FIXED_LITERAL_ROOT_BITS;
        TableResult built = BuildCodeTables(TABLE_BUILD, lengths, LITERAL_SYMBOLS, PLAIN_LITERAL_SYMBOLS,
                                            LengthBases[Inflate.Deflate64Mode],
                                            LengthExtraBits[Inflate.Deflate64Mode],
                                            &Inflate.FixedLiteralTable, &Inflate.FixedLiteralBits);
        // The fixed codes are complete, so these checks never refuse.
        SAFETY_CHECK_TABLE(built);
        std::memset(lengths, 5, DISTANCE_SYMBOLS);
        Inflate.FixedDistanceBits = FIXED_DISTANCE_ROOT_BITS;
        built = BuildCodeTables(TABLE_BUILD, lengths, DISTANCE_SYMBOLS, 0, DistanceBases,
                                DistanceExtraBits, &Inflate.FixedDistanceTable,
                                &Inflate.FixedDistanceBits);
        SAFETY_CHECK_TABLE(built);
    }
    return DecodeSymbols(Inflate.FixedLiteralTable, Inflate.FixedDistanceTable, Inflate.FixedLiteralBits,
                         Inflate.FixedDistanceBits);
}

// Reads total code lengths into Inflate.CodeLengths with the code-length code.
// Returns 0, or 1 for a run past the total or an invalid code-length code.
[[nodiscard]] static int ReadCodeLengths(const CodeEntry *table, uint32_t lookup_bits, uint32_t total)
{
    uint8_t *lengths = Inflate.CodeLengths;
    uint32_t previous = 0;
    uint32_t next = 0;
    while (next < total) {
        NeedBits(lookup_bits);
        const CodeEntry &entry = table[PeekBits(lookup_bits)];
        DropBits(entry.Bits);
        if (entry.Op == OP_INVALID)
            return 1;
        uint32_t symbol = entry.Value;
        if (symbol < REPEAT_PREVIOUS_SYMBOL) {
            lengths[next++] = uint8_t(symbol);
            previous = symbol;
            continue;
        }
        uint32_t repeat = 0;
        uint32_t value = 0;
        if (symbol == REPEAT_PREVIOUS_SYMBOL) {
            repeat = 3 + TakeBits(2);
            value = previous;
        } else if (symbol == SHORT_ZERO_RUN_SYMBOL) {
            repeat = 3 + TakeBits(3);
        } else {
            static_assert(LONG_ZERO_RUN_SYMBOL == CODE_LENGTH_SYMBOLS - 1, "the only symbol left");
            repeat = 11 + TakeBits(7);
        }
        if (symbol != REPEAT_PREVIOUS_SYMBOL)
            previous = 0;
        if (repeat > total - next)
            return 1;
        std::memset(lengths + next, int(value), repeat);
        next += repeat;
    }
    return 0;
}

static void FreeBlockTables()
{
    FreeCodeTables(Inflate.BlockLiteralTable);
    FreeCodeTables(Inflate.BlockDistanceTable);
    Inflate.BlockLiteralTable = nullptr;
    Inflate.BlockDistanceTable = nullptr;
}

// Dynamic-code block: the code-length code, the literal/length and distance
// lengths, then the symbols. nl = 257 with no distance lengths is a valid
// literals-only block; an incomplete distance code is accepted (its free
// codes decode as invalid), an incomplete literal/length code is not.
static InflateResult DecodeDynamicBlock()
{
    uint32_t literal_count = 257 + TakeBits(5);
    uint32_t distance_count = 1 + TakeBits(5);
    uint32_t length_code_count = 4 + TakeBits(4);
    SAFETY_CHECK(literal_count <= LITERAL_SYMBOLS && distance_count <= DISTANCE_SYMBOLS,
                 Rejection::CountsOverLimit);

    uint8_t *lengths = Inflate.CodeLengths;
    for (uint32_t i = 0; i < CODE_LENGTH_SYMBOLS; i++)
        lengths[CODE_LENGTH_ORDER[i]] = i < length_code_count ? uint8_t(TakeBits(3)) : 0;
    CodeEntry *length_table = nullptr;
    uint32_t length_bits = CODE_LENGTH_ROOT_BITS;
    TableResult built = BuildCodeTables(TABLE_BUILD, lengths, CODE_LENGTH_SYMBOLS, CODE_LENGTH_SYMBOLS,
                                        nullptr, nullptr, &length_table, &length_bits);
    if (built == TableResult::Complete && length_bits == 0)
        built = TableResult::Incomplete;
    if (built != TableResult::Complete)
        FreeCodeTables(length_table);
    SAFETY_CHECK_TABLE(built);

    int runs_fit = ReadCodeLengths(length_table, length_bits, literal_count + distance_count) == 0;
    FreeCodeTables(length_table);
    SAFETY_CHECK(runs_fit, Rejection::BadCodeLengths);

    uint32_t literal_bits = LITERAL_ROOT_BITS;
    built = BuildCodeTables(TABLE_BUILD, lengths, literal_count, PLAIN_LITERAL_SYMBOLS,
                            LengthBases[Inflate.Deflate64Mode], LengthExtraBits[Inflate.Deflate64Mode],
                            &Inflate.BlockLiteralTable, &literal_bits);
    if (built == TableResult::Complete && literal_bits == 0)
        built = TableResult::Incomplete;
    if (built != TableResult::Complete)
        FreeBlockTables();
    SAFETY_CHECK_TABLE(built);

    uint32_t distance_bits = DISTANCE_ROOT_BITS;
    built = BuildCodeTables(TABLE_BUILD, lengths + literal_count, distance_count, 0, DistanceBases,
                            DistanceExtraBits, &Inflate.BlockDistanceTable, &distance_bits);
    if (built == TableResult::Incomplete)
        built = TableResult::Complete;
    bool distances_missing = distance_bits == 0 && literal_count > PLAIN_LITERAL_SYMBOLS;
    if (built != TableResult::Complete || distances_missing)
        FreeBlockTables();
    SAFETY_CHECK(built == TableResult::Complete, Rejection::OversubscribedCode);
    SAFETY_CHECK(!distances_missing, Rejection::LengthsWithoutDistances);

    InflateResult result = DecodeSymbols(Inflate.BlockLiteralTable, Inflate.BlockDistanceTable, literal_bits,
                                         distance_bits);
    FreeBlockTables();
    return result;
}

// One block: header bits, then the block by type. *last_block is set from the
// block's first bit.
static InflateResult DecodeBlock(uint32_t *last_block)
{
    SAFETY_CHECK(!Inflate.InputExhausted, ExhaustionReason());
    *last_block = TakeBits(1);
    switch (TakeBits(2)) {
    case 0:
        return CopyStoredBlock();
    case 1:
        return DecodeFixedBlock();
    case 2:
        return DecodeDynamicBlock();
    default:
        SAFETY_CHECK(false, Rejection::ReservedBlockType);
    }
    return InflateResult::Reserved;
}

InflateResult InflateStream(uint8_t deflate64)
{
    Inflate.Deflate64Mode = deflate64 ? 1 : 0;
    Inflate.InputExhausted = 0;
    Inflate.WindowPos = 0;
    Inflate.BitCount = 0;
    Inflate.BitBuffer = 0;
    Inflate.LastInputByte = 0;
    Stream.OutputOverrun = 0;
    Inflate.Reason = Rejection::None;
    uint32_t last_block = 0;
    do {
        InflateResult result = DecodeBlock(&last_block);
        if (result != InflateResult::Done)
            return result;
    } while (!last_block);
    FlushWindow(Inflate.WindowPos);
    SAFETY_CHECK(!Stream.OutputOverrun, Rejection::OutputOverrun);
    return InflateResult::Done;
}

BlobResult DecodeBlob(const uint8_t *blob, int32_t blob_bytes, uint8_t *destination, uint32_t capacity_bytes)
{
    Stream.InputCursor = blob;
    Stream.InputAvailable = blob_bytes;
    InputRemaining = blob_bytes;
    Stream.OutputPointer = destination;
    Stream.OutputFill = 0;
    Stream.OutputLimit = destination + capacity_bytes;
    Stream.MemoryOutput = 1;
    InflateResult result = InflateStream(0);
    uint8_t overrun = Stream.OutputOverrun;
    Stream.MemoryOutput = 0;
    Stream.OutputOverrun = 0;
    Stream.OutputLimit = nullptr;
    Stream.OutputPointer = nullptr;
    Stream.InputCursor = nullptr;
    Stream.InputAvailable = 0;
    if (overrun)
        return BlobResult::Overrun;
    return result == InflateResult::Done ? BlobResult::Decoded : BlobResult::Damaged;
}
