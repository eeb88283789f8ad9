// Lookup-table builder for deflate's canonical Huffman codes, and the format's
// constant tables. See code_tables.h for the entry layout.
//
// The builder walks the codes in canonical order (by length, then symbol),
// keeping the current code bit-reversed so that it is directly the index of
// its root entry. A code no longer than the root's bits is stored at every
// root index whose low bits equal it. A longer code descends through
// sub-tables, opened as the walk reaches them; a sub-table is sized to take
// as many of the following codes as fill it (never more index bits than the
// root has, never past the longest length), and in a literal/length code it
// is cut to end where the end-of-block code ends, so that decoding the last
// symbol of a block never looks at bits beyond it.
#include "extract/inflate/code_tables.h"

#include "extract/inflate/stream_buffers.h"

const uint16_t LengthBases[2][LENGTH_SYMBOLS] = {
    {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
     35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0, 0},
    {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
     35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3, 0, 0},
};
const uint16_t LengthExtraBits[2][LENGTH_SYMBOLS] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
     3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, OP_INVALID, OP_INVALID},
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
     3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16, OP_INVALID, OP_INVALID},
};
const uint16_t DistanceBases[DISTANCE_SYMBOLS] = {
    1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577,
    32769, 49153};
const uint16_t DistanceExtraBits[DISTANCE_SYMBOLS] = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,
    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13,
    14, 14};
const uint16_t BitMasks[OP_MAX_EXTRA_BITS + 1] = {
    0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F, 0x003F, 0x007F, 0x00FF,
    0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

// Distance code 31 with all its extra bits set reaches exactly one window back.
static_assert(49153u + 0x3FFFu == WINDOW_BYTES, "the longest distance is the window");
static_assert(3u + 0xFFFFu == 65538u, "Deflate64 code 285 reaches 65538 bytes");

// One table of the code being built, as the walk sees it.
struct OpenTable {
    CodeEntry *entries;    // first real entry
    uint32_t start_bits;   // code bits consumed before this table
    uint32_t index_bits;   // this table has 2^index_bits entries
    uint32_t prefix;       // the low start_bits bits of every code in it
};

// Allocates a table of 2^index_bits entries plus its header and links it
// behind *chain_tail (the header of the code's last table). Returns the first
// real entry, or null when memory is exhausted.
static CodeEntry *AllocateTable(uint32_t index_bits, CodeEntry **chain_tail)
{
    uint32_t size_bytes = ((1u << index_bits) + 1) * uint32_t(sizeof(CodeEntry));
    CodeEntry *header = static_cast<CodeEntry *>(StreamCalls.AllocateTable(size_bytes));
    if (!header)
        return nullptr;
    header->SubTable = nullptr;
    if (*chain_tail)
        (*chain_tail)->SubTable = header + 1;
    *chain_tail = header;
    return header + 1;
}

// Index bits for a sub-table that starts after start_bits bits and must hold a
// code of code_bits bits, of which codes_left (this one included) are still to
// be placed. Grows the table while the longer codes that follow would not
// fill it on their own, within the root's bits and the longest length.
static uint32_t SubTableBits(uint32_t start_bits, uint32_t code_bits, uint32_t codes_left,
                             const uint32_t *codes_by_length, uint32_t longest_bits,
                             uint32_t root_bits, uint32_t end_of_block_bits)
{
    uint32_t limit_bits = longest_bits - start_bits;
    if (limit_bits > root_bits)
        limit_bits = root_bits;
    uint32_t index_bits = code_bits - start_bits;
    if (index_bits >= limit_bits) {
        index_bits = limit_bits;
    } else {
        int32_t spare_codes = int32_t(1u << index_bits) - int32_t(codes_left);
        uint32_t length_bits = code_bits;
        while (spare_codes > 0 && index_bits < limit_bits) {
            index_bits++;
            length_bits++;
            spare_codes = 2 * spare_codes - int32_t(codes_by_length[length_bits]);
        }
    }
    if (start_bits < end_of_block_bits && start_bits + index_bits > end_of_block_bits)
        index_bits = end_of_block_bits - start_bits;
    return index_bits;
}

TableResult BuildCodeTables(const TableBuildContext &context, const uint8_t *lengths, uint32_t symbol_count,
                            uint32_t plain_count, const uint16_t *bases, const uint16_t *extra_bits,
                            CodeEntry **table, uint32_t *lookup_bits)
{
    *table = nullptr;

    // Count the codes of each length.
    uint32_t codes_by_length[MAX_CODE_BITS + 1] = {};
    for (uint32_t symbol = 0; symbol < symbol_count; symbol++)
        codes_by_length[lengths[symbol]]++;
    if (codes_by_length[0] == symbol_count) {
        *lookup_bits = 0;
        return TableResult::Complete;
    }
    uint32_t shortest_bits = 1;
    while (codes_by_length[shortest_bits] == 0)
        shortest_bits++;
    uint32_t longest_bits = MAX_CODE_BITS;
    while (codes_by_length[longest_bits] == 0)
        longest_bits--;
    uint32_t root_bits = *lookup_bits;
    if (root_bits < shortest_bits)
        root_bits = shortest_bits;
    if (root_bits > longest_bits)
        root_bits = longest_bits;
    *lookup_bits = root_bits;

    // Over-subscription: codes left free at each length, down to the longest.
    int32_t free_codes = int32_t(1u << shortest_bits);
    for (uint32_t length_bits = shortest_bits;; length_bits++) {
        free_codes -= int32_t(codes_by_length[length_bits]);
        if (free_codes < 0)
            return TableResult::Oversubscribed;
        if (length_bits == longest_bits)
            break;
        free_codes *= 2;
    }
    // What is left free becomes invalid codes of the longest length, placed
    // after the real ones, so that every table index is filled.
    uint32_t invalid_codes = uint32_t(free_codes);
    uint32_t real_codes_by_length[MAX_CODE_BITS + 1];
    for (uint32_t length_bits = 0; length_bits <= MAX_CODE_BITS; length_bits++)
        real_codes_by_length[length_bits] = codes_by_length[length_bits];
    codes_by_length[longest_bits] += invalid_codes;

    // Symbols in canonical order: by length, then by symbol.
    uint16_t first_of_length[MAX_CODE_BITS + 2];
    first_of_length[1] = 0;
    for (uint32_t length_bits = 1; length_bits <= MAX_CODE_BITS; length_bits++)
        first_of_length[length_bits + 1] =
            uint16_t(first_of_length[length_bits] + real_codes_by_length[length_bits]);
    uint16_t *sorted = context.SymbolsByLength;
    for (uint32_t symbol = 0; symbol < symbol_count; symbol++)
        if (lengths[symbol] != 0)
            sorted[first_of_length[lengths[symbol]]++] = uint16_t(symbol);

    uint32_t end_of_block_bits = 0;
    if (symbol_count > END_OF_BLOCK_SYMBOL)
        end_of_block_bits = lengths[END_OF_BLOCK_SYMBOL];

    CodeEntry *chain_tail = nullptr;
    CodeEntry *root = AllocateTable(root_bits, &chain_tail);
    if (!root) {
        context.MemoryExhausted();
        return TableResult::Oversubscribed;
    }
    OpenTable open[MAX_CODE_BITS + 1];
    uint32_t depth = 0;
    open[0] = {root, 0, root_bits, 0};

    uint32_t code = 0;  // the current code, bit-reversed
    uint32_t next_sorted = 0;
    for (uint32_t code_bits = shortest_bits; code_bits <= longest_bits; code_bits++) {
        uint32_t codes_left = codes_by_length[code_bits];
        uint32_t real_left = real_codes_by_length[code_bits];
        for (; codes_left > 0; codes_left--) {
            CodeEntry entry;
            if (real_left == 0) {
                entry.Op = OP_INVALID;
                entry.Value = 0;
            } else {
                uint32_t symbol = sorted[next_sorted++];
                real_left--;
                if (symbol < plain_count) {
                    entry.Op = symbol == END_OF_BLOCK_SYMBOL ? OP_END_OF_BLOCK : OP_LITERAL;
                    entry.Value = symbol;
                } else {
                    entry.Op = uint8_t(extra_bits[symbol - plain_count]);
                    entry.Value = bases[symbol - plain_count];
                }
            }

            // Open sub-tables until the code ends inside the deepest one.
            while (code_bits > open[depth].start_bits + open[depth].index_bits) {
                const OpenTable &parent = open[depth];
                uint32_t start_bits = parent.start_bits + parent.index_bits;
                uint32_t index_bits = SubTableBits(start_bits, code_bits, codes_left, codes_by_length,
                                                   longest_bits, root_bits, end_of_block_bits);
                CodeEntry *sub = AllocateTable(index_bits, &chain_tail);
                if (!sub) {
                    FreeCodeTables(root);
                    context.MemoryExhausted();
                    return TableResult::Oversubscribed;
                }
                CodeEntry &link = parent.entries[(code >> parent.start_bits) & ((1u << parent.index_bits) - 1)];
                link.Op = uint8_t(OP_LITERAL + index_bits);
                link.Bits = uint8_t(parent.index_bits);
                link.SubTable = sub;
                depth++;
                open[depth] = {sub, start_bits, index_bits, code & ((1u << start_bits) - 1)};
            }

            // Store the entry at every index whose low bits are the code's.
            const OpenTable &level = open[depth];
            entry.Bits = uint8_t(code_bits - level.start_bits);
            uint32_t table_entries = 1u << level.index_bits;
            for (uint32_t index = code >> level.start_bits; index < table_entries; index += 1u << entry.Bits)
                level.entries[index] = entry;

            // Next code: increment the bit-reversed value.
            uint32_t carry = 1u << (code_bits - 1);
            while (code & carry)
                carry >>= 1;
            code = carry ? (code & (carry - 1)) + carry : 0;

            // Close the sub-tables the next code no longer belongs to.
            while (depth > 0 && (code & ((1u << open[depth].start_bits) - 1)) != open[depth].prefix)
                depth--;
        }
    }

    *table = root;
    if (invalid_codes != 0 && longest_bits != 1)
        return TableResult::Incomplete;
    return TableResult::Complete;
}

void FreeCodeTables(CodeEntry *table)
{
    while (table) {
        CodeEntry *header = table - 1;
        table = header->SubTable;
        StreamCalls.ReleaseTable(header);
    }
}
