// File helpers every Windows-side test program shares: whole files, paths,
// copies, and the ParameterBlock inside an installer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace stub_test {

// Full path of a path relative to the test's current directory.
std::string FullPath(const std::string &relative);

// Copies a file; true on success.
bool CopyTo(const std::string &from, const std::string &to);

// The whole content of a file, or "" when it cannot be read.
std::string ReadWholeFile(const std::string &path);

// Offset of the first ParameterBlock marker in a file's bytes, or npos.
size_t FindBlock(const std::vector<uint8_t> &bytes);

// Adds the files under folder to files: relative paths ('\\' separated, after
// prefix) with their sizes.
void ListFiles(const std::string &folder, const std::string &prefix, std::map<std::string, long> &files);

// Deletes folder and everything in it, read-only entries included; links
// inside are left alone (and so is the folder that holds them).
void RemoveTree(const std::wstring &folder);
void RemoveTree(const std::string &folder);

}  // namespace stub_test
