// Hand-built deflate streams; see bit_writer.h.
#include "bit_writer.h"

#include <cstddef>

void BitWriter::Bits(uint32_t value, uint32_t count)
{
    for (uint32_t i = 0; i < count; i++) {
        if (bit_position_ % 8 == 0)
            bytes_.push_back(0);
        if (i < 32 && ((value >> i) & 1))
            bytes_.back() |= uint8_t(1u << (bit_position_ % 8));
        bit_position_++;
    }
}

void BitWriter::Code(uint32_t code, uint32_t length)
{
    for (uint32_t i = length; i > 0; i--)
        Bits((code >> (i - 1)) & 1, 1);
}

void BitWriter::AlignToByte()
{
    while (bit_position_ % 8 != 0)
        Bits(0, 1);
}

void BitWriter::StoredBlock(bool last, const std::vector<uint8_t> &data)
{
    Bits(last, 1);
    Bits(0, 2);                                  // type 0
    AlignToByte();
    Bits(uint32_t(data.size()), 16);             // LEN
    Bits(~uint32_t(data.size()) & 0xFFFF, 16);   // NLEN
    for (uint8_t byte : data)
        Bits(byte, 8);
}

void BitWriter::FixedHeader(bool last)
{
    Bits(last, 1);
    Bits(1, 2);  // type 1
}

void BitWriter::FixedSymbol(uint32_t symbol)
{
    if (symbol < 144)
        Code(0x30 + symbol, 8);
    else if (symbol < 256)
        Code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        Code(symbol - 256, 7);
    else
        Code(0xC0 + symbol - 280, 8);
}

void BitWriter::FixedDistance(uint32_t code)
{
    Code(code, 5);
}

std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t> &lengths)
{
    uint32_t count[17] = {};
    for (uint8_t length : lengths)
        count[length]++;
    count[0] = 0;
    uint32_t next[17] = {};
    uint32_t code = 0;
    for (int bits = 1; bits <= 16; bits++) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (size_t symbol = 0; symbol < lengths.size(); symbol++)
        if (lengths[symbol])
            codes[symbol] = next[lengths[symbol]]++;
    return codes;
}

const uint8_t CODE_LENGTH_CODE_LENGTHS[19] = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};
static const uint8_t TRANSMISSION_ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

void WriteDynamicPreamble(BitWriter &writer, bool last, uint32_t literal_count, uint32_t distance_count,
                          const uint8_t *code_length_lengths)
{
    writer.Bits(last, 1);
    writer.Bits(2, 2);                    // type 2
    writer.Bits(literal_count - 257, 5);  // nl
    writer.Bits(distance_count - 1, 5);   // nd
    writer.Bits(19 - 4, 4);               // nb: all 19
    for (uint8_t symbol : TRANSMISSION_ORDER)
        writer.Bits(code_length_lengths[symbol], 3);
}

void WriteCodeLengthSymbol(BitWriter &writer, uint32_t symbol, uint32_t extra)
{
    static const std::vector<uint32_t> codes =
        CanonicalCodes(std::vector<uint8_t>(CODE_LENGTH_CODE_LENGTHS, CODE_LENGTH_CODE_LENGTHS + 19));
    writer.Code(codes[symbol], CODE_LENGTH_CODE_LENGTHS[symbol]);
    if (symbol == 16)
        writer.Bits(extra, 2);
    else if (symbol == 17)
        writer.Bits(extra, 3);
    else if (symbol == 18)
        writer.Bits(extra, 7);
}

DynamicCode::DynamicCode(std::vector<uint8_t> literals, std::vector<uint8_t> distances)
    : literal_lengths(std::move(literals)),
      distance_lengths(std::move(distances)),
      literal_codes(CanonicalCodes(literal_lengths)),
      distance_codes(CanonicalCodes(distance_lengths))
{
}

void DynamicCode::WriteHeader(BitWriter &writer, bool last) const
{
    WriteDynamicPreamble(writer, last, uint32_t(literal_lengths.size()), uint32_t(distance_lengths.size()),
                         CODE_LENGTH_CODE_LENGTHS);
    for (uint8_t length : literal_lengths)
        WriteCodeLengthSymbol(writer, length);
    for (uint8_t length : distance_lengths)
        WriteCodeLengthSymbol(writer, length);
}

void DynamicCode::Literal(BitWriter &writer, uint32_t symbol) const
{
    writer.Code(literal_codes[symbol], literal_lengths[symbol]);
}

void DynamicCode::Distance(BitWriter &writer, uint32_t code) const
{
    writer.Code(distance_codes[code], distance_lengths[code]);
}
