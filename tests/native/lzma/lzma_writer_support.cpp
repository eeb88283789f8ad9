// The hand-made stream encoder; see lzma_writer.h.
#include "lzma_writer.h"

#include <algorithm>

namespace {

constexpr uint16_t HALF = 1024;

template <typename T>
void FillHalf(T &array)
{
    uint16_t *first = reinterpret_cast<uint16_t *>(&array);
    std::fill(first, first + sizeof array / sizeof(uint16_t), HALF);
}

uint32_t NextLiteralState(uint32_t state)
{
    return state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
}

}  // namespace

LzmaWriter::LzmaWriter(uint32_t lc, uint32_t lp, uint32_t pb, uint32_t dictionary_size)
    : lc_(lc), lp_(lp), pb_(pb), dictionary_size_(dictionary_size),
      literal_(size_t(0x300) << (lc + lp), HALF)
{
    FillHalf(is_match_);
    FillHalf(is_rep_);
    FillHalf(is_rep_g0_);
    FillHalf(is_rep_g1_);
    FillHalf(is_rep_g2_);
    FillHalf(is_rep0_long_);
    FillHalf(slot_);
    FillHalf(special_);
    FillHalf(align_);
    FillHalf(match_length_);
    FillHalf(rep_length_);
}

void LzmaWriter::ShiftLow()
{
    if (uint32_t(low_) < 0xFF000000u || (low_ >> 32) != 0) {
        uint8_t carry = uint8_t(low_ >> 32);
        uint8_t temp = cache_;
        do {
            stream_.push_back(uint8_t(temp + carry));
            temp = 0xFF;
        } while (--cache_size_ != 0);
        cache_ = uint8_t(low_ >> 24);
    }
    cache_size_++;
    low_ = (low_ & 0x00FFFFFFu) << 8;
}

void LzmaWriter::EncodeBit(uint16_t &probability, uint32_t bit)
{
    const uint32_t bound = (range_ >> 11) * probability;
    if (bit == 0) {
        range_ = bound;
        probability = uint16_t(probability + ((2048 - probability) >> 5));
    } else {
        low_ += bound;
        range_ -= bound;
        probability = uint16_t(probability - (probability >> 5));
    }
    while (range_ < (1u << 24)) {
        range_ <<= 8;
        ShiftLow();
    }
}

void LzmaWriter::EncodeDirect(uint32_t value, uint32_t bit_count)
{
    for (uint32_t i = bit_count; i-- > 0;) {
        range_ >>= 1;
        if ((value >> i) & 1)
            low_ += range_;
        while (range_ < (1u << 24)) {
            range_ <<= 8;
            ShiftLow();
        }
    }
}

void LzmaWriter::EncodeTree(uint16_t *probabilities, uint32_t bit_count, uint32_t value)
{
    uint32_t m = 1;
    for (uint32_t i = bit_count; i-- > 0;) {
        const uint32_t bit = (value >> i) & 1;
        EncodeBit(probabilities[m], bit);
        m = (m << 1) | bit;
    }
}

void LzmaWriter::EncodeReverseTree(uint16_t *probabilities, uint32_t bit_count, uint32_t value)
{
    uint32_t m = 1;
    for (uint32_t i = 0; i < bit_count; i++) {
        const uint32_t bit = (value >> i) & 1;
        EncodeBit(probabilities[m], bit);
        m = (m << 1) | bit;
    }
}

void LzmaWriter::EncodeLength(LengthModel &model, uint32_t length)
{
    const uint32_t value = length - 2;
    const uint32_t position_state = PositionState();
    if (value < 8) {
        EncodeBit(model.choice, 0);
        EncodeTree(model.low[position_state], 3, value);
    } else if (value < 16) {
        EncodeBit(model.choice, 1);
        EncodeBit(model.choice_2, 0);
        EncodeTree(model.mid[position_state], 3, value - 8);
    } else {
        EncodeBit(model.choice, 1);
        EncodeBit(model.choice_2, 1);
        EncodeTree(model.high, 8, value - 16);
    }
}

void LzmaWriter::Literal(uint8_t byte)
{
    const uint32_t position = uint32_t(output_.size());
    EncodeBit(is_match_[state_][PositionState()], 0);
    const uint32_t previous = output_.empty() ? 0 : output_.back();
    uint16_t *probabilities =
        literal_.data() + 0x300 * (((position & ((1u << lp_) - 1)) << lc_) + (previous >> (8 - lc_)));
    uint32_t symbol = 1;
    int i = 7;
    if (state_ >= 7) {
        const uint32_t back = reps_[0] + 1;
        uint32_t match_byte = back <= position ? output_[position - back] : 0;
        for (; i >= 0; i--) {
            const uint32_t bit = (byte >> i) & 1, match_bit = (match_byte >> i) & 1;
            EncodeBit(probabilities[((1 + match_bit) << 8) + symbol], bit);
            symbol = (symbol << 1) | bit;
            if (bit != match_bit) {
                i--;
                break;
            }
        }
    }
    for (; i >= 0; i--) {
        const uint32_t bit = (byte >> i) & 1;
        EncodeBit(probabilities[symbol], bit);
        symbol = (symbol << 1) | bit;
    }
    output_.push_back(byte);
    state_ = NextLiteralState(state_);
}

void LzmaWriter::Literals(const std::vector<uint8_t> &bytes)
{
    for (uint8_t byte : bytes)
        Literal(byte);
}

void LzmaWriter::CopyMatch(uint32_t distance, uint32_t length)
{
    for (uint32_t i = 0; i < length; i++) {
        const size_t position = output_.size();
        output_.push_back(distance <= position ? output_[position - distance] : 0);
    }
}

void LzmaWriter::Match(uint32_t distance, uint32_t length)
{
    EncodeBit(is_match_[state_][PositionState()], 1);
    EncodeBit(is_rep_[state_], 0);
    EncodeLength(match_length_, length);
    const uint32_t value = distance - 1;  // 0xFFFFFFFF for the end marker
    uint32_t slot;
    if (value < 4) {
        slot = value;
    } else {
        uint32_t top = 31;
        while (!((value >> top) & 1))
            top--;
        slot = 2 * top + ((value >> (top - 1)) & 1);
    }
    const uint32_t length_state = std::min(length - 2, 3u);
    EncodeTree(slot_[length_state], 6, slot);
    if (slot >= 4) {
        const uint32_t footer_bits = (slot >> 1) - 1;
        const uint32_t base = (2 | (slot & 1)) << footer_bits;
        const uint32_t reduced = value - base;
        if (slot < 14) {
            EncodeReverseTree(special_ + base - slot - 1, footer_bits, reduced);
        } else {
            EncodeDirect(reduced >> 4, footer_bits - 4);
            EncodeReverseTree(align_, 4, reduced & 15);
        }
    }
    reps_[3] = reps_[2];
    reps_[2] = reps_[1];
    reps_[1] = reps_[0];
    reps_[0] = value;
    state_ = state_ < 7 ? 7 : 10;
    if (value != 0xFFFFFFFFu)
        CopyMatch(distance, length);
}

void LzmaWriter::Rep(uint32_t index, uint32_t length)
{
    EncodeBit(is_match_[state_][PositionState()], 1);
    EncodeBit(is_rep_[state_], 1);
    if (index == 0) {
        EncodeBit(is_rep_g0_[state_], 0);
        EncodeBit(is_rep0_long_[state_][PositionState()], 1);
    } else {
        EncodeBit(is_rep_g0_[state_], 1);
        if (index == 1) {
            EncodeBit(is_rep_g1_[state_], 0);
        } else {
            EncodeBit(is_rep_g1_[state_], 1);
            EncodeBit(is_rep_g2_[state_], index == 3 ? 1 : 0);
        }
        const uint32_t distance = reps_[index];
        for (uint32_t i = index; i > 0; i--)
            reps_[i] = reps_[i - 1];
        reps_[0] = distance;
    }
    EncodeLength(rep_length_, length);
    state_ = state_ < 7 ? 8 : 11;
    CopyMatch(reps_[0] + 1, length);
}

void LzmaWriter::ShortRep()
{
    EncodeBit(is_match_[state_][PositionState()], 1);
    EncodeBit(is_rep_[state_], 1);
    EncodeBit(is_rep_g0_[state_], 0);
    EncodeBit(is_rep0_long_[state_][PositionState()], 0);
    state_ = state_ < 7 ? 9 : 11;
    CopyMatch(reps_[0] + 1, 1);
}

void LzmaWriter::EndMarker()
{
    Match(0, 2);  // distance - 1 = 0xFFFFFFFF
}

std::vector<uint8_t> LzmaWriter::Finish()
{
    for (int i = 0; i < 5; i++)
        ShiftLow();
    std::vector<uint8_t> member = {9, 20, 5, 0, uint8_t((pb_ * 5 + lp_) * 9 + lc_)};
    for (int i = 0; i < 4; i++)
        member.push_back(uint8_t(dictionary_size_ >> (8 * i)));
    member.insert(member.end(), stream_.begin(), stream_.end());
    return member;
}
