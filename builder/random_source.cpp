// Random bytes for encryption headers (see random_source.h).
#include "random_source.h"

#include "build_error.h"
#include "host_system.h"

#include <cerrno>
#include <cstdlib>
#include <string>

RandomSource RandomSource::FromEnvironment()
{
    RandomSource source;
    std::string value;
    if (!EnvironmentValue(TEST_SEED_VARIABLE, value))
        return source;
    char *end = nullptr;
    errno = 0;
    const unsigned long long seed = std::strtoull(value.c_str(), &end, 0);
    if (value.empty() || value[0] == '-' || *end != '\0' || errno != 0)
        Refuse("%s: \"%s\" is not a 64-bit number", TEST_SEED_VARIABLE, value.c_str());
    source.seeded_state_ = uint64_t(seed);
    return source;
}

void RandomSource::Fill(uint8_t *destination, size_t count_bytes)
{
    if (!seeded_state_) {
        if (!SystemRandomBytes(destination, count_bytes))
            Refuse("the system's random source failed; encryption headers cannot be made");
        return;
    }
    // splitmix64: a fixed, well-mixed sequence from any seed, 0 included.
    for (size_t index = 0; index < count_bytes; index++) {
        uint64_t z = (*seeded_state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        destination[index] = static_cast<uint8_t>(z ^ (z >> 31));
    }
}
