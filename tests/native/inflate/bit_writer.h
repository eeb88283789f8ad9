// Builds deflate streams by hand, field by field, for the crafted-stream
// tests: raw bits (least significant first), Huffman codes (most significant
// first, as RFC 1951 packs them), stored, fixed and dynamic block parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BitWriter {
public:
    // count bits of value, least significant first (zeros past bit 31).
    void Bits(uint32_t value, uint32_t count);
    // A Huffman code of length bits, most significant bit first.
    void Code(uint32_t code, uint32_t length);
    void AlignToByte();
    uint32_t BitPosition() const { return bit_position_; }
    const std::vector<uint8_t> &Bytes() const { return bytes_; }

    // A whole stored block: header, padding, LEN, NLEN, data.
    void StoredBlock(bool last, const std::vector<uint8_t> &data);
    // Header of a fixed-code block, then its symbols.
    void FixedHeader(bool last);
    void FixedSymbol(uint32_t symbol);        // literal/length 0..287
    void FixedDistance(uint32_t code);        // distance code 0..31

private:
    std::vector<uint8_t> bytes_;
    uint32_t bit_position_ = 0;
};

// Canonical codes (RFC 1951 3.2.2) for the given lengths; 0 for unused.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t> &lengths);

// A dynamic block's codes, written with a complete code-length code that
// gives symbols 0..12 four bits and 13..18 five bits.
struct DynamicCode {
    std::vector<uint8_t> literal_lengths;   // nl entries, 257..288
    std::vector<uint8_t> distance_lengths;  // nd entries, 1..32
    std::vector<uint32_t> literal_codes;
    std::vector<uint32_t> distance_codes;

    DynamicCode(std::vector<uint8_t> literals, std::vector<uint8_t> distances);
    // Block header through the last code length, each length as its own
    // code-length symbol.
    void WriteHeader(BitWriter &writer, bool last) const;
    void Literal(BitWriter &writer, uint32_t symbol) const;
    void Distance(BitWriter &writer, uint32_t code) const;
};

// The code-length code used by DynamicCode, for headers written by hand.
extern const uint8_t CODE_LENGTH_CODE_LENGTHS[19];
// Writes the header fields up to and including the code-length code:
// nl, nd, nb = 19 and the 19 three-bit lengths in transmission order.
void WriteDynamicPreamble(BitWriter &writer, bool last, uint32_t literal_count, uint32_t distance_count,
                          const uint8_t *code_length_lengths);
// One code-length symbol (0..18) of CODE_LENGTH_CODE_LENGTHS, with its extra
// bits for 16, 17 and 18.
void WriteCodeLengthSymbol(BitWriter &writer, uint32_t symbol, uint32_t extra = 0);
