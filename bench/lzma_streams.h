// The LZMA benchmark's compressed members kept in a file, so that the Windows
// build under Wine decodes the very streams the native run made (liblzma's
// encoder at the builder's preset takes the better part of a minute there).
// Each stream is tied to its original by size and CRC-32 and to the preset
// that made it, so a file from another corpus or preset is never taken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LzmaBenchMember {
    std::vector<uint8_t> original;
    std::vector<uint8_t> compressed;  // zip method 14 header and stream
};

// Fills every member's compressed bytes from the file at path. False, with
// the members' compressed bytes left empty, when the file is missing,
// damaged or made from other originals or another preset.
[[nodiscard]] bool ReadLzmaStreams(const std::string &path, uint32_t preset,
                                   const std::vector<LzmaBenchMember *> &members);

// Writes the members' compressed bytes to path; false when it cannot.
[[nodiscard]] bool WriteLzmaStreams(const std::string &path, uint32_t preset,
                                    const std::vector<LzmaBenchMember *> &members);
