// Writing the finished installer so that --out only ever holds a complete
// file: the bytes go to a temporary file in the same folder, which is renamed
// over --out at the end. On any failure the temporary file is removed and
// --out is left as it was (absent, or the previous build's file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Refuses (BuildError) when the file cannot be written.
void WriteOutputFile(const std::string &path, const std::vector<uint8_t> &bytes);
