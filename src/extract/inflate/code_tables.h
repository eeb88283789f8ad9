// Multi-level lookup tables for the canonical Huffman codes of deflate, and the
// format's constant tables (length and distance bases, extra bits, bit masks).
//
// A code is decoded by indexing its root table with the next root-bits bits of
// the stream (least significant bit first). An entry either decodes a symbol
// or links to a sub-table indexed by the next few bits; links may nest. Every
// index of every table is filled: code space the code leaves free decodes as
// OP_INVALID, so a damaged stream always meets an entry that says what it is.
//
// Each table (root or sub-table) is its own zero-filled block from
// StreamCalls.AllocateTable, one header entry followed by the real entries.
// The header's SubTable field links to the next table built for the same code,
// so FreeCodeTables releases a whole code from the root pointer alone.
//
// The builder keeps no state between calls: its scratch and what to do when
// table memory runs out come from the caller in a TableBuildContext.
//
// Portable: no Windows headers.
#pragma once

#include <cstdint>

// One lookup-table entry:
//
//   Op    0..16   length or distance code with Op extra bits; Value = base
//         17      end of block
//         18      literal byte, or a plain symbol of the code-length code;
//                 Value = the symbol
//         19..34  link: SubTable is indexed by the next Op - 18 bits
//         99      invalid code
//   Bits  bits this entry consumes at its own level
//   Value / SubTable   (one 32-bit field on the 32-bit target)
struct CodeEntry {
    uint8_t Op;
    uint8_t Bits;
    union {
        uint32_t Value;
        CodeEntry *SubTable;
    };
};
static_assert(sizeof(void *) != 4 || sizeof(CodeEntry) == 8,
              "on the 32-bit target an entry is op, bits and one 32-bit field");

constexpr uint8_t OP_MAX_EXTRA_BITS = 16;
constexpr uint8_t OP_END_OF_BLOCK = 17;
constexpr uint8_t OP_LITERAL = 18;    // also the base of the link ops
constexpr uint8_t OP_INVALID = 99;
constexpr uint32_t MAX_CODE_BITS = 16;  // longest length the builder counts
static_assert(OP_LITERAL + MAX_CODE_BITS < OP_INVALID, "link ops stay below the invalid op");
static_assert(OP_MAX_EXTRA_BITS < OP_END_OF_BLOCK, "extra-bit counts stay below the symbol ops");

// Requested root sizes (the builder clamps them to the code's length range).
constexpr uint32_t LITERAL_ROOT_BITS = 9;
constexpr uint32_t DISTANCE_ROOT_BITS = 6;
constexpr uint32_t CODE_LENGTH_ROOT_BITS = 7;
constexpr uint32_t FIXED_LITERAL_ROOT_BITS = 7;
constexpr uint32_t FIXED_DISTANCE_ROOT_BITS = 5;

constexpr uint32_t LITERAL_SYMBOLS = 288;      // 0..255 literals, 256 end, 257..287 lengths
constexpr uint32_t DISTANCE_SYMBOLS = 32;      // 30 of RFC 1951 plus codes 30 and 31
constexpr uint32_t CODE_LENGTH_SYMBOLS = 19;
constexpr uint32_t PLAIN_LITERAL_SYMBOLS = 257;  // literals and the end-of-block symbol
constexpr uint32_t END_OF_BLOCK_SYMBOL = 256;
constexpr uint32_t LENGTH_SYMBOLS = LITERAL_SYMBOLS - PLAIN_LITERAL_SYMBOLS;  // 257..287
static_assert(LENGTH_SYMBOLS == 31, "length codes 257..287");

// Length codes 257..287, indexed by code - 257, [0] for deflate and [1] for
// Deflate64. They differ only in code 285: 258 with no extra bits, or 3 with
// 16 extra bits. Codes 286 and 287 decode as OP_INVALID.
extern const uint16_t LengthBases[2][LENGTH_SYMBOLS];
extern const uint16_t LengthExtraBits[2][LENGTH_SYMBOLS];
// Distance codes 0..31, the same in both modes; 30 and 31 (32769 and 49153,
// 14 extra bits each) reach back up to 65536 bytes.
extern const uint16_t DistanceBases[DISTANCE_SYMBOLS];
extern const uint16_t DistanceExtraBits[DISTANCE_SYMBOLS];
// BitMasks[n] = 2^n - 1 for n = 0..16.
extern const uint16_t BitMasks[OP_MAX_EXTRA_BITS + 1];

enum class TableResult : int {
    Complete = 0,        // every code of the space is used (or one 1-bit code)
    Incomplete = 1,      // free code space was left; it decodes as OP_INVALID
    Oversubscribed = 2,  // the lengths ask for more codes than exist; no table
};

// What BuildCodeTables borrows from its caller.
struct TableBuildContext {
    // Room for LITERAL_SYMBOLS entries (the largest code); the builder sorts
    // the symbols into canonical order here. Overwritten by every build.
    uint16_t *SymbolsByLength;
    // Called when table memory runs out, after the builder has freed what it
    // built for the current code: frees what else the caller holds and
    // reports. The decoder's does not return.
    void (*MemoryExhausted)();
};

// Builds the tables for the code given by lengths[0..symbol_count) (each 0..16,
// 0 = unused). Symbols below plain_count decode as literals (Op 18; symbol 256
// as end of block, Op 17); symbol k >= plain_count decodes as
// Op = extra_bits[k - plain_count], Value = bases[k - plain_count].
// *lookup_bits holds the requested root size on entry and the actual one on
// return, clamped to the shortest and longest lengths used.
// Complete or Incomplete: *table points at the root's first entry; for an
// empty code (all lengths 0) *table is null, *lookup_bits 0, result Complete.
// Oversubscribed: *table is null and nothing is allocated.
// symbol_count <= LITERAL_SYMBOLS. context.SymbolsByLength is overwritten.
// Out of table memory: frees what it built for this code and calls
// context.MemoryExhausted; should that return, the result is Oversubscribed
// with *table null.
[[nodiscard]] TableResult BuildCodeTables(const TableBuildContext &context, const uint8_t *lengths,
                                          uint32_t symbol_count, uint32_t plain_count,
                                          const uint16_t *bases, const uint16_t *extra_bits,
                                          CodeEntry **table, uint32_t *lookup_bits);

// Releases every table of the code whose root is table; null is accepted.
void FreeCodeTables(CodeEntry *table);
