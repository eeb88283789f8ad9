// The decoder benchmarks' corpus files, read whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Appends the file's bytes to data; false when it cannot be opened.
bool ReadFile(const std::string &path, std::vector<uint8_t> &data);
