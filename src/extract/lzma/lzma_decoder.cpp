// The LZMA decoder (see lzma_decoder.h): the format's constants and model
// layout, the input run and the dictionary, the range decoder and its bit
// trees, then the symbol loop (literals, matches, the four repeated
// distances, lengths, distances, the end marker), then the zip header and the
// entry point.
//
// Speed: the range decoder's range and code and the input run live in locals
// of DecodeSymbols, so that the hot loop keeps them in registers; every
// probability update is the macro below. Input is taken a run at a time (all
// the bytes the input buffer holds for this member), so that a byte costs a
// compare and a load, and only the end of a run calls out.
#include "extract/lzma/lzma_decoder.h"

#include <cstring>

#include "extract/inflate/stream_buffers.h"

LzmaState Lzma;

namespace {

// ---- Format constants -------------------------------------------------------

constexpr uint32_t TOP_VALUE = 1u << 24;        // the range is renormalised below this
constexpr uint32_t PROBABILITY_BITS = 11;
constexpr uint32_t PROBABILITY_ONE = 1u << PROBABILITY_BITS;
constexpr uint16_t PROBABILITY_INITIAL = PROBABILITY_ONE / 2;
constexpr uint32_t MOVE_BITS = 5;               // adaptation speed of every probability

constexpr uint32_t STATES = 12;
constexpr uint32_t LITERAL_STATES = 7;          // states below this follow a literal
constexpr uint32_t POSITION_BITS_MAX = 4;
constexpr uint32_t POSITION_STATES_MAX = 1u << POSITION_BITS_MAX;

constexpr uint32_t MATCH_MIN_BYTES = 2;
constexpr uint32_t LONG_COPY_BYTES = 32;         // matches this long are copied with memcpy where they can be
constexpr uint32_t LENGTH_TO_POSITION_STATES = 4;
constexpr uint32_t POSITION_SLOT_BITS = 6;
constexpr uint32_t START_POSITION_MODEL = 4;    // slots below are the distance itself
constexpr uint32_t END_POSITION_MODEL = 14;     // slots from here use direct bits and the align coder
constexpr uint32_t FULL_DISTANCES = 1u << (END_POSITION_MODEL >> 1);
constexpr uint32_t ALIGN_BITS = 4;
constexpr uint32_t END_MARKER_DISTANCE = 0xFFFFFFFFu;

// The length coder: a choice, a second choice, 16 low and 16 mid trees of 3
// bits (one per position state), one high tree of 8 bits.
constexpr uint32_t LENGTH_LOW_BITS = 3;
constexpr uint32_t LENGTH_MID_BITS = 3;
constexpr uint32_t LENGTH_HIGH_BITS = 8;
constexpr uint32_t LENGTH_LOW_SYMBOLS = 1u << LENGTH_LOW_BITS;
constexpr uint32_t LENGTH_MID_SYMBOLS = 1u << LENGTH_MID_BITS;
constexpr uint32_t LENGTH_CHOICE = 0;
constexpr uint32_t LENGTH_CHOICE_2 = 1;
constexpr uint32_t LENGTH_LOW = 2;
constexpr uint32_t LENGTH_MID = LENGTH_LOW + POSITION_STATES_MAX * LENGTH_LOW_SYMBOLS;
constexpr uint32_t LENGTH_HIGH = LENGTH_MID + POSITION_STATES_MAX * LENGTH_MID_SYMBOLS;
constexpr uint32_t LENGTH_CODER_PROBABILITIES = LENGTH_HIGH + (1u << LENGTH_HIGH_BITS);

// The model, one array of probabilities in this order.
constexpr uint32_t IS_MATCH = 0;
constexpr uint32_t IS_REP = IS_MATCH + (STATES << POSITION_BITS_MAX);
constexpr uint32_t IS_REP_G0 = IS_REP + STATES;
constexpr uint32_t IS_REP_G1 = IS_REP_G0 + STATES;
constexpr uint32_t IS_REP_G2 = IS_REP_G1 + STATES;
constexpr uint32_t IS_REP0_LONG = IS_REP_G2 + STATES;
constexpr uint32_t POSITION_SLOT = IS_REP0_LONG + (STATES << POSITION_BITS_MAX);
constexpr uint32_t SPECIAL_POSITION = POSITION_SLOT + (LENGTH_TO_POSITION_STATES << POSITION_SLOT_BITS);
constexpr uint32_t ALIGN = SPECIAL_POSITION + FULL_DISTANCES - END_POSITION_MODEL;
constexpr uint32_t MATCH_LENGTH = ALIGN + (1u << ALIGN_BITS);
constexpr uint32_t REP_LENGTH = MATCH_LENGTH + LENGTH_CODER_PROBABILITIES;
constexpr uint32_t LITERAL = REP_LENGTH + LENGTH_CODER_PROBABILITIES;
constexpr uint32_t LITERAL_CODER_PROBABILITIES = 0x300;
static_assert(LITERAL == 1846, "the model's fixed part");

constexpr uint32_t LITERAL_CONTEXT_BITS_MAX = 8;
constexpr uint32_t LITERAL_POSITION_BITS_MAX = 4;
constexpr uint32_t MODEL_PROBABILITIES_MAX =
    LITERAL + (LITERAL_CODER_PROBABILITIES << (LITERAL_CONTEXT_BITS_MAX + LITERAL_POSITION_BITS_MAX));
static_assert(LZMA_PROPERTIES_LIMIT == (LITERAL_CONTEXT_BITS_MAX + 1) * (LITERAL_POSITION_BITS_MAX + 1) *
                                           (POSITION_BITS_MAX + 1),
              "lc, lp and pb share the first property byte");

// Every refusal goes through here, so one search finds them all.
#define LZMA_REJECT(reason, result) \
    do {                            \
        Lzma.Reason = (reason);     \
        return (result);            \
    } while (0)

// ---- Input -----------------------------------------------------------------

// A run of input: bytes of the member already counted as taken from Stream,
// and the first byte after the run before it.
struct InputRun {
    const uint8_t *next;
    const uint8_t *end;
    uint8_t byte;
};

// The byte after a used-up run: takes one byte through NextInputByte (which
// refills, decrypts, changes disks) and makes the rest of the input buffer,
// up to the member's end, the next run. When none comes, sets
// Lzma.InputExhausted and gives 0 and an empty run; the symbol loop stops at
// its next check. Returned by value, so that the caller's cursors never
// leave its registers.
__attribute__((noinline)) InputRun NextRun()
{
    InputRun run = {nullptr, nullptr, 0};
    if (!NextInputByte(run.byte)) {
        Lzma.InputExhausted = 1;
        return run;
    }
    int32_t run_bytes = Stream.InputAvailable < InputRemaining ? Stream.InputAvailable : InputRemaining;
    if (run_bytes < 0)
        run_bytes = 0;
    run.next = Stream.InputCursor;
    run.end = run.next + run_bytes;
    Stream.InputCursor += run_bytes;
    Stream.InputAvailable -= run_bytes;
    InputRemaining -= run_bytes;
    return run;
}

// ---- Output ----------------------------------------------------------------

// The dictionary's bytes not yet flushed: [flushed, position).
struct DictionaryWindow {
    uint8_t *bytes;
    uint32_t size_bytes;
    uint32_t position;  // next write
    uint32_t flushed;   // first byte not yet flushed
};

void FlushPending(DictionaryWindow &window)
{
    FlushBytes(window.bytes + window.flushed, window.position - window.flushed);
    window.flushed = window.position;
}

// ---- Range decoder -----------------------------------------------------------

// The next input byte into destination (a uint32_t).
#define RC_NEXT_BYTE(destination)                                                \
    do {                                                                         \
        if (in_next != in_end) {                                                 \
            destination = *in_next++;                                            \
        } else {                                                                 \
            const InputRun run_ = NextRun();                                     \
            in_next = run_.next;                                                 \
            in_end = run_.end;                                                   \
            destination = run_.byte;                                             \
        }                                                                        \
    } while (0)

// One bit with probability prob (a uint16_t lvalue): bit 0 is the lower part
// of the range; on_zero or on_one runs (they touch no coder state). The
// range is renormalised after each bit, as the encoder expects, so the
// stream's last byte is read by its last bit.
#define RC_BIT(prob, on_zero, on_one)                                            \
    do {                                                                         \
        uint16_t *const p_ = &(prob);                                            \
        const uint32_t bound_ = (range >> PROBABILITY_BITS) * *p_;               \
        if (code < bound_) {                                                     \
            range = bound_;                                                      \
            *p_ = uint16_t(*p_ + ((PROBABILITY_ONE - *p_) >> MOVE_BITS));        \
            on_zero;                                                             \
        } else {                                                                 \
            range -= bound_;                                                     \
            code -= bound_;                                                      \
            *p_ = uint16_t(*p_ - (*p_ >> MOVE_BITS));                            \
            on_one;                                                              \
        }                                                                        \
        if (range < TOP_VALUE) {                                                 \
            uint32_t byte_;                                                      \
            RC_NEXT_BYTE(byte_);                                                 \
            range <<= 8;                                                         \
            code = (code << 8) | byte_;                                          \
        }                                                                        \
    } while (0)

// A bit tree of bit_count bits at probs: symbol ends as 1 << bit_count plus
// the value, most significant bit first.
#define RC_BIT_TREE(probs, bit_count, symbol)                                    \
    do {                                                                         \
        uint16_t *const tree_ = (probs);                                         \
        symbol = 1;                                                              \
        for (uint32_t i_ = 0; i_ < (bit_count); i_++)                            \
            RC_BIT(tree_[symbol], symbol <<= 1, symbol = (symbol << 1) | 1);     \
    } while (0)

// The same, least significant bit first, adding the value to result.
#define RC_REVERSE_TREE(probs, bit_count, result)                                \
    do {                                                                         \
        uint16_t *const tree_ = (probs);                                         \
        uint32_t m_ = 1;                                                         \
        for (uint32_t i_ = 0; i_ < (bit_count); i_++)                            \
            RC_BIT(tree_[m_], m_ <<= 1, (m_ = (m_ << 1) | 1, (result) += 1u << i_)); \
    } while (0)

// bit_count bits of probability one half, added below result's own bits.
#define RC_DIRECT_BITS(bit_count, result)                                        \
    do {                                                                         \
        for (uint32_t i_ = (bit_count); i_ > 0; i_--) {                          \
            range >>= 1;                                                         \
            const uint32_t one_ = code >= range;                                 \
            code -= range & (0u - one_);                                         \
            result = (result << 1) | one_;                                       \
            if (range < TOP_VALUE) {                                             \
                uint32_t byte_;                                                  \
                RC_NEXT_BYTE(byte_);                                             \
                range <<= 8;                                                     \
                code = (code << 8) | byte_;                                      \
            }                                                                    \
        }                                                                        \
    } while (0)

// The literal's eight bits are unrolled where speed is wanted; the stub,
// built for size, keeps the loops.
#ifdef __OPTIMIZE_SIZE__
#define LZMA_UNROLL_8
#else
#define LZMA_UNROLL_8 _Pragma("GCC unroll 8")
#endif

// ---- The stream ----------------------------------------------------------------

// The state after a literal.
inline uint32_t StateAfterLiteral(uint32_t state)
{
    return state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
}

// Where a stream stops short: the reason, then out of the symbol loop.
#define LZMA_STOP(why)   \
    do {                 \
        reason = (why);  \
        goto stopped;    \
    } while (0)

// Decodes symbols until total_bytes are out, then the end marker when one is
// expected. Every path leaves what was decoded in the window, unflushed.
LzmaResult DecodeSymbols(DictionaryWindow &window, uint32_t total_bytes, uint8_t end_marker)
{
    const uint8_t *in_next = nullptr, *in_end = nullptr;
    uint16_t *const probs = Lzma.Probabilities;
    uint8_t *const dictionary = window.bytes;
    const uint32_t dictionary_bytes = window.size_bytes;
    const uint32_t dictionary_size = Lzma.DictionarySize;
    const uint32_t lc = Lzma.LiteralContextBits;
    const uint32_t literal_position_mask = (1u << Lzma.LiteralPositionBits) - 1;
    const uint32_t position_mask = (1u << Lzma.PositionBits) - 1;
    LzmaRejection reason = LzmaRejection::None;

    // The range decoder's start: a byte that is always 0, then 4 of code.
    uint32_t range = 0xFFFFFFFFu, code = 0, first;
    RC_NEXT_BYTE(first);
    for (int i = 0; i < 4; i++) {
        uint32_t byte;
        RC_NEXT_BYTE(byte);
        code = (code << 8) | byte;
    }

    uint32_t state = 0;
    uint32_t rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
    uint32_t out_bytes = 0;  // decoded so far
    uint32_t previous_byte = 0;
    uint32_t position = 0;   // in the dictionary, next write
    uint32_t flushed = 0;    // in the dictionary, first byte not yet flushed

    if (Lzma.InputExhausted)
        LZMA_STOP(LzmaRejection::InputExhausted);
    if (first != 0 || code == range)
        LZMA_STOP(LzmaRejection::BadRangeCoderStart);

    for (;;) {
        if (Lzma.InputExhausted)
            LZMA_STOP(LzmaRejection::InputExhausted);
        if (position - flushed >= IO_CHUNK_BYTES || position == dictionary_bytes) {
            // A chunk is pending, or the dictionary is full: flush, and
            // after the dictionary's last byte start again at 0.
            FlushBytes(dictionary + flushed, position - flushed);
            if (position == dictionary_bytes)
                position = 0;
            flushed = position;
        }
        const bool at_end = out_bytes == total_bytes;
        // At the member's size the stream is over, or, with bit 1, its end
        // marker follows; a coder that has already finished (code 0) is
        // taken as a stream whose writer left the marker out.
        if (at_end && (!end_marker || code == 0))
            break;
        const uint32_t position_state = out_bytes & position_mask;
        uint32_t bit;
        RC_BIT(probs[IS_MATCH + (state << POSITION_BITS_MAX) + position_state], bit = 0, bit = 1);
        if (!bit) {
            if (at_end)
                LZMA_STOP(LzmaRejection::MissingEndMarker);
            // A literal: coded with the high lc bits of the byte before and
            // the low lp bits of the position; after a match, also against
            // the byte at rep0 (the match byte) while the bits agree.
            uint16_t *const literal = probs + LITERAL +
                LITERAL_CODER_PROBABILITIES *
                    (((out_bytes & literal_position_mask) << lc) + (previous_byte >> (8 - lc)));
            uint32_t symbol = 1;
            if (state < LITERAL_STATES) {
                LZMA_UNROLL_8
                for (int i = 0; i < 8; i++)
                    RC_BIT(literal[symbol], symbol <<= 1, symbol = (symbol << 1) | 1);
            } else {
                // While the bits agree with the match byte's, the second or
                // third set of 0x100 probabilities; from the first bit that
                // differs, the first set. offset (0x100, then 0) selects
                // without a branch.
                uint32_t match_byte = dictionary[position > rep0 ? position - rep0 - 1
                                                                 : position + dictionary_bytes - rep0 - 1];
                uint32_t offset = 0x100;
                LZMA_UNROLL_8
                for (int i = 0; i < 8; i++) {
                    match_byte <<= 1;
                    const uint32_t match_bit = match_byte & offset;
                    RC_BIT(literal[offset + match_bit + symbol], (symbol <<= 1, offset &= ~match_bit),
                           (symbol = (symbol << 1) | 1, offset &= match_bit));
                }
            }
            previous_byte = symbol & 0xFF;
            dictionary[position++] = uint8_t(previous_byte);
            out_bytes++;
            state = StateAfterLiteral(state);
            continue;
        }

        uint16_t *length_probs;
        RC_BIT(probs[IS_REP + state], bit = 0, bit = 1);
        const uint32_t is_rep = bit;
        if (!is_rep) {
            // A match with a new distance (decoded after its length): the
            // repeated distances shift down.
            rep3 = rep2;
            rep2 = rep1;
            rep1 = rep0;
            length_probs = probs + MATCH_LENGTH;
            state = state < LITERAL_STATES ? 7 : 10;
        } else {
            RC_BIT(probs[IS_REP_G0 + state], bit = 0, bit = 1);
            if (!bit) {
                RC_BIT(probs[IS_REP0_LONG + (state << POSITION_BITS_MAX) + position_state], bit = 0, bit = 1);
                if (!bit) {
                    // A short repeat: one byte at rep0.
                    if (at_end)
                        LZMA_STOP(LzmaRejection::MissingEndMarker);
                    if (rep0 >= out_bytes)
                        LZMA_STOP(LzmaRejection::BadDistance);
                    state = state < LITERAL_STATES ? 9 : 11;
                    previous_byte = dictionary[position > rep0 ? position - rep0 - 1
                                                               : position + dictionary_bytes - rep0 - 1];
                    dictionary[position++] = uint8_t(previous_byte);
                    out_bytes++;
                    continue;
                }
            } else {
                uint32_t distance;
                RC_BIT(probs[IS_REP_G1 + state], bit = 0, bit = 1);
                if (!bit) {
                    distance = rep1;
                } else {
                    RC_BIT(probs[IS_REP_G2 + state], bit = 0, bit = 1);
                    if (!bit) {
                        distance = rep2;
                    } else {
                        distance = rep3;
                        rep3 = rep2;
                    }
                    rep2 = rep1;
                }
                rep1 = rep0;
                rep0 = distance;
            }
            length_probs = probs + REP_LENGTH;
            state = state < LITERAL_STATES ? 8 : 11;
        }

        // The length, 0 to 271 for 2 to 273 bytes: a choice between 8 low,
        // 8 mid (both per position state) and 256 high lengths.
        uint32_t length;
        RC_BIT(length_probs[LENGTH_CHOICE], bit = 0, bit = 1);
        if (!bit) {
            RC_BIT_TREE(length_probs + LENGTH_LOW + (position_state << LENGTH_LOW_BITS), LENGTH_LOW_BITS, length);
            length -= LENGTH_LOW_SYMBOLS;
        } else {
            RC_BIT(length_probs[LENGTH_CHOICE_2], bit = 0, bit = 1);
            if (!bit) {
                RC_BIT_TREE(length_probs + LENGTH_MID + (position_state << LENGTH_MID_BITS), LENGTH_MID_BITS, length);
                length = length - LENGTH_MID_SYMBOLS + LENGTH_LOW_SYMBOLS;
            } else {
                RC_BIT_TREE(length_probs + LENGTH_HIGH, LENGTH_HIGH_BITS, length);
                length = length - (1u << LENGTH_HIGH_BITS) + LENGTH_LOW_SYMBOLS + LENGTH_MID_SYMBOLS;
            }
        }

        if (!is_rep) {
            // The distance: a 6-bit slot per length state (lengths 2, 3, 4
            // and more); slots 4 and up add bits below their top two, from
            // reverse trees (slots below 14) or as direct bits and the
            // 4-bit align tree.
            const uint32_t length_state = length < LENGTH_TO_POSITION_STATES ? length : LENGTH_TO_POSITION_STATES - 1;
            uint32_t slot;
            RC_BIT_TREE(probs + POSITION_SLOT + (length_state << POSITION_SLOT_BITS), POSITION_SLOT_BITS, slot);
            slot -= 1u << POSITION_SLOT_BITS;
            if (slot < START_POSITION_MODEL) {
                rep0 = slot;
            } else {
                const uint32_t direct_bits = (slot >> 1) - 1;
                rep0 = (2 | (slot & 1)) << direct_bits;
                if (slot < END_POSITION_MODEL) {
                    // Reverse trees indexed from 1, one per slot, packed.
                    RC_REVERSE_TREE(probs + SPECIAL_POSITION + rep0 - slot - 1, direct_bits, rep0);
                } else {
                    uint32_t high = 0;
                    RC_DIRECT_BITS(direct_bits - ALIGN_BITS, high);
                    rep0 += high << ALIGN_BITS;
                    RC_REVERSE_TREE(probs + ALIGN, ALIGN_BITS, rep0);
                }
            }
            if (rep0 == END_MARKER_DISTANCE) {
                if (!at_end)
                    LZMA_STOP(LzmaRejection::EarlyEndMarker);
                break;
            }
        }

        // The copy of length + 2 bytes from rep0 + 1 back.
        if (at_end)
            LZMA_STOP(LzmaRejection::MissingEndMarker);
        if (rep0 >= out_bytes || rep0 >= dictionary_size)
            LZMA_STOP(LzmaRejection::BadDistance);
        length += MATCH_MIN_BYTES;
        bool past_end = false;
        if (length > total_bytes - out_bytes) {
            length = total_bytes - out_bytes;
            past_end = true;
        }
        out_bytes += length;
        uint32_t source = position > rep0 ? position - rep0 - 1 : position + dictionary_bytes - rep0 - 1;
        if (source + length <= dictionary_bytes && position + length <= dictionary_bytes) {
            // Neither end wraps: a forward copy, byte by byte where the
            // match overlaps itself (it repeats its own first bytes) or its
            // source lies ahead in the buffer (the oldest bytes, read just
            // before they are overwritten), at once where it is long and
            // does neither.
            uint8_t *to = dictionary + position;
            const uint8_t *from = dictionary + source;
            position += length;
            if (length >= LONG_COPY_BYTES && from < to && rep0 >= length) {
                std::memcpy(to, from, length);
            } else {
                do
                    *to++ = *from++;
                while (--length);
            }
        } else {
            do {
                if (position == dictionary_bytes) {
                    FlushBytes(dictionary + flushed, position - flushed);
                    position = 0;
                    flushed = 0;
                }
                dictionary[position++] = dictionary[source++];
                if (source == dictionary_bytes)
                    source = 0;
            } while (--length);
        }
        previous_byte = dictionary[position - 1];
        if (past_end)
            LZMA_STOP(LzmaRejection::MatchPastEnd);
    }
    if (Lzma.InputExhausted)
        reason = LzmaRejection::InputExhausted;
    else if (code != 0)
        reason = LzmaRejection::UnfinishedRangeCoder;

stopped:
    window.position = position;
    window.flushed = flushed;
    if (reason != LzmaRejection::None)
        LZMA_REJECT(reason, LzmaResult::Damaged);
    return LzmaResult::Done;
}

// The zip header: version (ignored), properties size, properties. Sets the
// model's parameters in Lzma; Done, or Damaged with nothing read past the
// header, or Refused.
LzmaResult ReadZipHeader(uint32_t uncompressed_bytes)
{
    uint8_t header[LZMA_ZIP_HEADER_BYTES];
    for (uint8_t &byte : header) {
        if (!NextInputByte(byte))
            LZMA_REJECT(LzmaRejection::InputExhausted, LzmaResult::Damaged);
    }
    if ((header[2] | header[3] << 8) != LZMA_PROPERTIES_BYTES)
        LZMA_REJECT(LzmaRejection::BadPropertiesSize, LzmaResult::Refused);
    uint32_t packed = header[4];
    if (packed >= LZMA_PROPERTIES_LIMIT)
        LZMA_REJECT(LzmaRejection::PropertiesOutOfRange, LzmaResult::Refused);
    Lzma.LiteralContextBits = uint8_t(packed % 9);
    packed /= 9;
    Lzma.LiteralPositionBits = uint8_t(packed % 5);
    Lzma.PositionBits = uint8_t(packed / 5);
    uint32_t size = uint32_t(header[5]) | uint32_t(header[6]) << 8 | uint32_t(header[7]) << 16 |
                    uint32_t(header[8]) << 24;
    if (size < LZMA_DICTIONARY_MIN_BYTES)
        size = LZMA_DICTIONARY_MIN_BYTES;
    Lzma.DictionarySize = size;
    // No match reaches further back than the member's start, so a member
    // never needs more than its own size.
    uint32_t needed = size < uncompressed_bytes ? size : uncompressed_bytes;
    if (needed == 0)
        needed = 1;
    if (needed > LZMA_DICTIONARY_LIMIT_BYTES)
        LZMA_REJECT(LzmaRejection::DictionaryOverLimit, LzmaResult::Refused);
    Lzma.DictionaryBytes = needed;
    return LzmaResult::Done;
}

void *AllocateOrExhausted(uint32_t size_bytes)
{
    void *block = StreamCalls.AllocateTable(size_bytes);
    if (!block)
        StreamCalls.TableMemoryExhausted();
    return block;
}

}  // namespace

void ReleaseLzmaBuffers()
{
    if (Lzma.Dictionary)
        StreamCalls.ReleaseTable(Lzma.Dictionary);
    if (Lzma.Probabilities)
        StreamCalls.ReleaseTable(Lzma.Probabilities);
    Lzma = LzmaState{};
}

LzmaResult DecodeLzmaMember(uint32_t uncompressed_bytes, uint8_t end_marker)
{
    ReleaseLzmaBuffers();
    LzmaResult result = ReadZipHeader(uncompressed_bytes);
    if (result != LzmaResult::Done)
        return result;
    const uint32_t model_probabilities =
        LITERAL + (LITERAL_CODER_PROBABILITIES << (Lzma.LiteralContextBits + Lzma.LiteralPositionBits));
    static_assert(MODEL_PROBABILITIES_MAX * 2 <= 0xFFFFFFFFu, "the largest model's size fits 32 bits");
    Lzma.Probabilities = static_cast<uint16_t *>(AllocateOrExhausted(model_probabilities * 2));
    for (uint32_t i = 0; i < model_probabilities; i++)
        Lzma.Probabilities[i] = PROBABILITY_INITIAL;
    Lzma.Dictionary = static_cast<uint8_t *>(AllocateOrExhausted(Lzma.DictionaryBytes));

    DictionaryWindow window = {Lzma.Dictionary, Lzma.DictionaryBytes, 0, 0};
    result = DecodeSymbols(window, uncompressed_bytes, end_marker);
    FlushPending(window);
    const LzmaRejection reason = result == LzmaResult::Done ? LzmaRejection::None : Lzma.Reason;
    ReleaseLzmaBuffers();
    Lzma.Reason = reason;
    return result;
}
