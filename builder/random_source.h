// Where the 11 random bytes of each encryption header come from. Normally
// the host's cryptographic source (getrandom, BCryptGenRandom): those bytes
// are what keeps two members' keystreams apart, so they must not be
// guessable. For tests only, the environment variable TVSFX_TEST_RANDOM_SEED
// (a decimal or 0x-hex 64-bit number) makes them a fixed sequence drawn from
// that seed, so that an encrypted build is reproducible byte for byte; such
// an installer is no safer than its password alone and the summary says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

constexpr const char *TEST_SEED_VARIABLE = "TVSFX_TEST_RANDOM_SEED";

class RandomSource {
public:
    // Reads TVSFX_TEST_RANDOM_SEED; refuses (BuildError) a value that is
    // not a number.
    static RandomSource FromEnvironment();

    // Fills count_bytes at destination; refuses when the host's source fails.
    void Fill(uint8_t *destination, size_t count_bytes);

    bool seeded() const { return seeded_state_.has_value(); }

private:
    std::optional<uint64_t> seeded_state_;  // splitmix64's state when seeded
};
