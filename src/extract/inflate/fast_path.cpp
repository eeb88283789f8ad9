// The decoder's fast path: see the top of inflate.cpp for how it shares the
// work with the simple path, which handles everything near the ends of the
// input, of the stream and of the window.
//
// It has its own file so that it can be compiled for speed while the rest of
// the stub is compiled for size (see src/CMakeLists.txt): it is where nearly
// all the decoding time goes.
#include "extract/inflate/fast_path.h"

#include <cstring>

#include "extract/inflate/inflate.h"
#include "extract/inflate/stream_buffers.h"

constexpr uint32_t MAX_DEFLATE_MATCH_BYTES = 258;

// The fast path's bit buffer is a machine word: 64 bits hold a whole
// Deflate64 match after one refill; on the 32-bit target 32 bits refill more
// often but stay in one register.
//
// On the 64-bit target the buffer is kept shifted left by ENTRY_SHIFT (log2
// of an entry's size): masking it with a table's index mask shifted alike
// gives the entry's byte offset at once, which takes the scaling shift off
// the chain of dependent instructions that every symbol waits on (lookup,
// drop its bits, next lookup). The ENTRY_SHIFT bits below hold bits already
// used and are masked off wherever the buffer is read. The 32-bit target
// keeps all 32 bits for input (its addressing scales the index for free).
#if UINTPTR_MAX > 0xFFFFFFFFu
typedef uint64_t BitWord;
constexpr uint32_t ENTRY_SHIFT = sizeof(CodeEntry) == 16 ? 4 : 3;
static_assert(sizeof(CodeEntry) == 1u << ENTRY_SHIFT, "entries are indexed by a shift");
#else
typedef uint32_t BitWord;
constexpr uint32_t ENTRY_SHIFT = 0;
#endif
constexpr uint32_t BITWORD_BITS = 8 * sizeof(BitWord);
constexpr uint32_t BUFFER_BITS = BITWORD_BITS - ENTRY_SHIFT;  // bits the buffer can hold
constexpr uint32_t REFILLED_MIN_BITS = BUFFER_BITS - 8;       // bits held after a refill
constexpr uint32_t MAX_LOOKAHEAD_BITS = 15;                   // a code's lookups, all levels
constexpr uint32_t MAX_DEFLATE_LENGTH_EXTRA_BITS = 5;
static_assert(REFILLED_MIN_BITS >= MAX_LOOKAHEAD_BITS, "one refill covers a code");
static_assert(REFILLED_MIN_BITS >= OP_MAX_EXTRA_BITS, "one refill covers extra bits");
static_assert(REFILLED_MIN_BITS >= MAX_LOOKAHEAD_BITS + MAX_DEFLATE_LENGTH_EXTRA_BITS,
              "one refill covers a length code and its deflate extra bits");
// Up to four refills per symbol (code, extra, distance, extra), each moving
// at most sizeof(BitWord) - 1 bytes and reading sizeof(BitWord).
constexpr int32_t FAST_INPUT_MARGIN = 5 * int32_t(sizeof(BitWord));
// A root entry takes at most LITERAL_ROOT_BITS bits (a literal/length code
// that reaches the fast path is complete, so its shortest length, and with it
// the root, is at most 9 bits): after each root literal the buffer still holds
// a whole code while at least that many bits are left over.
static_assert(FIXED_LITERAL_ROOT_BITS <= LITERAL_ROOT_BITS, "the fixed code's root is no wider");
constexpr uint32_t LITERALS_PER_REFILL = (REFILLED_MIN_BITS - MAX_LOOKAHEAD_BITS) / LITERAL_ROOT_BITS + 1;
// A match is copied in 8-byte units when its source is at least a unit
// behind, else in words of MATCH_WORD_BYTES where it can be; either may write
// up to MATCH_SLACK_BYTES - 1 bytes past its end (two units for the shortest
// match).
constexpr uint32_t MATCH_UNIT_BYTES = 8;
constexpr uint32_t MATCH_WORD_BYTES = sizeof(uintptr_t);
constexpr uint32_t MATCH_SLACK_BYTES = 2 * MATCH_UNIT_BYTES;
// At the top of a step the window has room for its literals, any deflate match
// and the bytes a word copy may write past a match's end.
constexpr uint32_t FAST_WINDOW_LIMIT =
    WINDOW_BYTES - MAX_DEFLATE_MATCH_BYTES - LITERALS_PER_REFILL - MATCH_SLACK_BYTES;
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "bits are loaded little-endian");

// The bit count after a refill: whole bytes added up to BUFFER_BITS - 1. With
// a 32-bit buffer that sets bits 3 and 4 and keeps the rest (one OR off the
// chain every symbol waits on).
#if UINTPTR_MAX > 0xFFFFFFFFu
#define REFILLED_COUNT(count) ((count) + 8 * ((BUFFER_BITS - 1 - (count)) >> 3))
#else
static_assert(REFILLED_MIN_BITS == 24 && BUFFER_BITS == 32, "a refill ORs in 24");
#define REFILLED_COUNT(count) ((count) | REFILLED_MIN_BITS)
#endif

static BitWord LoadWord(const uint8_t *at)
{
    BitWord word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Tops the bit buffer up to at least REFILLED_MIN_BITS bits with one load of
// whole bytes. Bits above bit_count already hold the bytes at in_next (from
// the last load), so ORing them in again changes nothing.
#define REFILL_BITS()                                                      \
    do {                                                                   \
        bits |= LoadWord(in_next) << (bit_count + ENTRY_SHIFT);            \
        in_next += (BUFFER_BITS - 1 - bit_count) >> 3;                     \
        bit_count = REFILLED_COUNT(bit_count);                             \
    } while (0)

#define DROP_BITS(count)      \
    do {                      \
        bits >>= (count);     \
        bit_count -= (count); \
    } while (0)

#define LOW_BITS(count) (uint32_t(bits >> ENTRY_SHIFT) & BitMasks[count])

// The entry that offset_mask (an index mask shifted by ENTRY_SHIFT) selects.
#define ENTRY_AT(table, offset_mask)                                                                   \
    reinterpret_cast<const CodeEntry *>(reinterpret_cast<const char *>(table) +                        \
                                        (bits & (offset_mask)) * (sizeof(CodeEntry) >> ENTRY_SHIFT))

// Copies one Unit from source to next, at any alignment, and steps both on.
template <typename Unit>
static inline void CopyUnit(uint8_t *&next, const uint8_t *&source)
{
    Unit unit;
    std::memcpy(&unit, source, sizeof unit);
    std::memcpy(next, &unit, sizeof unit);
    next += sizeof unit;
    source += sizeof unit;
}

// Copies a match that ends inside the window from a source behind it, to
// next: the window has MATCH_SLACK_BYTES beyond the match's end and the source
// lies within the window. Copies whole words and may write up to
// MATCH_SLACK_BYTES past the match's end. Those bytes are still history (a
// whole window back, reachable by distance codes 30 and 31), so they are
// saved first and put back afterwards: the window ends exactly as a
// byte-by-byte copy leaves it.
static void CopyMatchFast(uint8_t *next, uint32_t distance_bytes, uint32_t length_bytes)
{
    uint8_t *const end = next + length_bytes;
    uint8_t beyond[MATCH_SLACK_BYTES];
    std::memcpy(beyond, end, sizeof beyond);
    const uint8_t *source = next - distance_bytes;
    if (distance_bytes >= MATCH_UNIT_BYTES) {
        // With the source at least a unit behind, each unit reads only bytes
        // already final. Most matches are short: the first two units go
        // without a test, which the loop's exit would mispredict.
        CopyUnit<uint64_t>(next, source);
        CopyUnit<uint64_t>(next, source);
        while (next < end)
            CopyUnit<uint64_t>(next, source);
    } else if (distance_bytes >= MATCH_WORD_BYTES) {
        do
            CopyUnit<uintptr_t>(next, source);
        while (next < end);
    } else if (distance_bytes == 1) {
        uintptr_t run = uintptr_t(next[-1]) * (~uintptr_t(0) / 0xFF);
        do {
            std::memcpy(next, &run, sizeof run);
            next += sizeof run;
        } while (next < end);
    } else {
        // Overlapping: byte by byte repeats the pattern.
        while (next != end)
            *next++ = *source++;
    }
    std::memcpy(end, beyond, sizeof beyond);
}

// Follows links from entry to the final entry, dropping each link's bits.
// Returns null for an invalid code.
#define WALK_LINKS(entry)                                                                              \
    do {                                                                                               \
        while (entry->Op > OP_LITERAL) {                                                               \
            if (entry->Op == OP_INVALID) {                                                             \
                exit = FastExit::InvalidCode;                                                          \
                goto leave;                                                                            \
            }                                                                                          \
            DROP_BITS(entry->Bits);                                                                    \
            entry = ENTRY_AT(entry->SubTable, BitWord(BitMasks[entry->Op - OP_LITERAL]) << ENTRY_SHIFT); \
        }                                                                                              \
    } while (0)

FastExit DecodeSymbolsFast(
    const CodeEntry *literals, const CodeEntry *distances, uint32_t literal_bits, uint32_t distance_bits)
{
    int32_t available_bytes = Stream.InputAvailable < InputRemaining ? Stream.InputAvailable : InputRemaining;
    if (available_bytes < FAST_INPUT_MARGIN || Inflate.WindowPos > FAST_WINDOW_LIMIT || !distances)
        return FastExit::Stopped;

    const uint8_t *const in_start = Stream.InputCursor;
    const uint8_t *in_next = in_start;
    // The loop goes on while at least FAST_INPUT_MARGIN bytes are left.
    const uint8_t *const in_stop = in_start + (available_bytes - FAST_INPUT_MARGIN);
    BitWord bits = BitWord(Inflate.BitBuffer) << ENTRY_SHIFT;
    uint32_t bit_count = Inflate.BitCount;
    uint8_t *const window = Stream.Window;
    uint8_t *out = window + Inflate.WindowPos;
    uint8_t *const out_stop = window + FAST_WINDOW_LIMIT;
    uint8_t *const copy_end = window + WINDOW_BYTES - MATCH_SLACK_BYTES;
    const BitWord literal_offsets = ((BitWord(1) << literal_bits) - 1) << ENTRY_SHIFT;
    const BitWord distance_offsets = ((BitWord(1) << distance_bits) - 1) << ENTRY_SHIFT;
    FastExit exit = FastExit::Stopped;

    do {
        // Refill every step: cheaper than a test that mispredicts.
        REFILL_BITS();
        const CodeEntry *entry = ENTRY_AT(literals, literal_offsets);
        // One refill holds several whole codes: take the literals among them
        // without refilling (the refill costs more than a literal).
        for (uint32_t spare = LITERALS_PER_REFILL - 1; spare > 0 && entry->Op == OP_LITERAL; spare--) {
            DROP_BITS(entry->Bits);
            *out++ = uint8_t(entry->Value);
            entry = ENTRY_AT(literals, literal_offsets);
        }
        WALK_LINKS(entry);
        DROP_BITS(entry->Bits);
        if (entry->Op == OP_LITERAL) {
            *out++ = uint8_t(entry->Value);
            continue;
        }
        if (entry->Op == OP_END_OF_BLOCK) {
            exit = FastExit::EndOfBlock;
            break;
        }

        // A length, then its distance. A refill covers a code and the
        // length's extra bits, but for Deflate64's code 285.
        uint32_t extra_bits = entry->Op;
        if (bit_count < extra_bits)
            REFILL_BITS();
        uint32_t length_bytes = entry->Value + LOW_BITS(extra_bits);
        DROP_BITS(extra_bits);
        // A 64-bit buffer still holds the distance code; a 32-bit one
        // refills without a test, as above.
        if (BITWORD_BITS == 32 || bit_count < MAX_LOOKAHEAD_BITS)
            REFILL_BITS();
        entry = ENTRY_AT(distances, distance_offsets);
        WALK_LINKS(entry);
        DROP_BITS(entry->Bits);
        extra_bits = entry->Op;
        if (bit_count < extra_bits)
            REFILL_BITS();
        uint32_t distance_bytes = entry->Value + LOW_BITS(extra_bits);
        DROP_BITS(extra_bits);

        if (distance_bytes <= uint32_t(out - window) && length_bytes <= uint32_t(copy_end - out)) {
            CopyMatchFast(out, distance_bytes, length_bytes);
            out += length_bytes;
        } else {
            // Source before the window's start or a Deflate64 match past its
            // end: the simple copy splits it and flushes.
            uint32_t position = uint32_t(out - window);
            Inflate.WindowPos = position;
            CopyMatch((position - distance_bytes) & WINDOW_MASK, length_bytes);
            out = window + Inflate.WindowPos;
            if (Inflate.InputExhausted)
                break;  // memory-mode overrun
        }
    } while (in_next <= in_stop && out <= out_stop);

leave:
    // Give back the whole bytes not used, down to the bytes loaded here.
    uint32_t unused_bytes = bit_count >> 3;
    if (unused_bytes > uint32_t(in_next - in_start))
        unused_bytes = uint32_t(in_next - in_start);
    in_next -= unused_bytes;
    bit_count -= 8 * unused_bytes;
    Inflate.BitBuffer = uint32_t((bits >> ENTRY_SHIFT) & ((BitWord(1) << bit_count) - 1));
    Inflate.BitCount = bit_count;
    int32_t consumed_bytes = int32_t(in_next - in_start);
    if (consumed_bytes > 0)
        Inflate.LastInputByte = in_next[-1];
    Stream.InputCursor = in_next;
    Stream.InputAvailable -= consumed_bytes;
    InputRemaining -= consumed_bytes;
    Inflate.WindowPos = uint32_t(out - window);
    return exit;
}
