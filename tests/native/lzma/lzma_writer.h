// A small LZMA encoder for hand-made streams: the test says which symbols to
// write (literals, matches with a new distance, the four repeated distances,
// short repeats, the end marker) and gets the zip method 14 form of exactly
// that stream, corner cases and invalid distances included. Written from the
// format's description, with a model of its own (named arrays, not the
// decoder's one flat table), so the decoder is checked against a second
// reading of the format; valid streams are also checked against liblzma.
#pragma once

#include <cstdint>
#include <vector>

class LzmaWriter {
public:
    LzmaWriter(uint32_t lc, uint32_t lp, uint32_t pb, uint32_t dictionary_size);

    void Literal(uint8_t byte);
    void Literals(const std::vector<uint8_t> &bytes);
    // A match of length 2..273 at distance (1 = the byte before) with a new
    // distance; distances the decoder should refuse are written as asked.
    void Match(uint32_t distance, uint32_t length);
    // A match at repeated distance index 0..3, length 2..273.
    void Rep(uint32_t index, uint32_t length);
    // One byte at the last distance.
    void ShortRep();
    void EndMarker();

    // The zip header (version, properties size 5, properties) and the
    // flushed stream.
    std::vector<uint8_t> Finish();

    // What a decoder yields for the symbols so far (bytes at distances
    // before the start read as 0).
    const std::vector<uint8_t> &Output() const { return output_; }

private:
    struct LengthModel {
        uint16_t choice, choice_2;
        uint16_t low[16][8], mid[16][8], high[256];
    };
    void EncodeBit(uint16_t &probability, uint32_t bit);
    void EncodeDirect(uint32_t value, uint32_t bit_count);
    void EncodeTree(uint16_t *probabilities, uint32_t bit_count, uint32_t value);
    void EncodeReverseTree(uint16_t *probabilities, uint32_t bit_count, uint32_t value);
    void EncodeLength(LengthModel &model, uint32_t length);
    void ShiftLow();
    void CopyMatch(uint32_t distance, uint32_t length);
    uint32_t PositionState() const { return uint32_t(output_.size()) & ((1u << pb_) - 1); }

    uint32_t lc_, lp_, pb_, dictionary_size_;
    uint32_t state_ = 0;
    uint32_t reps_[4] = {0, 0, 0, 0};  // distances - 1
    std::vector<uint8_t> output_;
    std::vector<uint8_t> stream_;
    uint64_t low_ = 0;
    uint32_t range_ = 0xFFFFFFFFu;
    uint8_t cache_ = 0;
    uint64_t cache_size_ = 1;

    uint16_t is_match_[12][16], is_rep_[12], is_rep_g0_[12], is_rep_g1_[12], is_rep_g2_[12];
    uint16_t is_rep0_long_[12][16];
    uint16_t slot_[4][64];
    uint16_t special_[128];  // reverse trees for slots 4..13, from 1 at base - slot
    uint16_t align_[16];
    LengthModel match_length_, rep_length_;
    std::vector<uint16_t> literal_;
};
