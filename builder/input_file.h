// Reading what the builder takes in whole (an installer for info and
// verify, an archive for --from-zip, a stub): only a regular file of less
// than 2 GiB can be one, since every offset the stub seeks to is a signed
// 32-bit value. Anything else is refused before a byte is read, so that a
// device (/dev/zero), a pipe that nobody writes, or a file of many
// gigabytes costs neither memory nor a wait.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t INPUT_FILE_BYTES_LIMIT = 0x80000000u;  // 2 GiB: the stub's offsets are signed 32-bit

enum class InputRead { Read, Unreachable, Refused };

// Fills bytes with the file at path. Unreachable: it cannot be opened, and
// error holds the system's reason; Refused: it is no regular file, is 2 GiB
// or more (also when it grows to that while read) or fails while read, and
// error says which, in words that follow "path: ".
[[nodiscard]] InputRead ReadInputFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &error);
