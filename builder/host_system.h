// What the builder needs from the operating system, behind one narrow
// interface so that the same builder runs on Linux (host_posix.cpp) and, as
// tvsfx.exe, on Windows (host_windows.cpp). Paths, names and arguments are
// UTF-8 strings on both hosts; the Windows side converts to and from UTF-16
// at this boundary and nowhere else.
//
// Nothing here refuses: each call reports failure by its result and leaves
// the message to the caller, which knows what the path was for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

enum class EntryKind { File, Folder, LinkToFolder, Other };

// Identifies a file whatever path reaches it (device and inode, or volume
// serial and file index), to leave the output out of its own input.
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
    bool known;  // false: the host could not tell; matches nothing
};

struct EntryInfo {
    EntryKind kind;          // with links followed; a link to a folder says so
    bool is_link;            // path itself is a symbolic link (or, on Windows, a reparse point)
    uint64_t size_bytes;     // files only
    int64_t modified;        // seconds since 1970-01-01 UTC
    FileIdentity identity;
};

// Fills info for path. false when it cannot be reached; error then holds the
// system's reason.
[[nodiscard]] bool QueryEntry(const std::string &path, EntryInfo &info, std::string &error);

// The absolute path path leads to, every link in it followed; false when
// it cannot be reached. Two paths to the same place give the same text.
[[nodiscard]] bool ResolvedPath(const std::string &path, std::string &resolved, std::string &error);

// The names in folder ("." and ".." left out), in no particular order.
[[nodiscard]] bool ListFolder(const std::string &folder, std::vector<std::string> &names, std::string &error);

// Makes folder (its parent must exist); true also when it is there already.
[[nodiscard]] bool MakeFolder(const std::string &folder, std::string &error);

// The whole file; false when it cannot be opened or read, or when it holds
// more than max_bytes (then nothing past max_bytes + 1 is read).
[[nodiscard]] bool ReadWholeFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &error,
                                 uint64_t max_bytes = UINT64_MAX);

// Broken-down local time (the host's time zone) and UTC of a Unix time.
[[nodiscard]] bool ToLocalTime(int64_t when, struct tm &local);
[[nodiscard]] bool ToUtcTime(int64_t when, struct tm &utc);

// Whether the standard error stream is a terminal (progress is shown then).
bool StderrIsTerminal();

// Fills count_bytes at destination from the host's cryptographic random
// source; false when it is unavailable.
[[nodiscard]] bool SystemRandomBytes(uint8_t *destination, size_t count_bytes);

// Makes stdout and stderr write bytes as they are ("\n" stays "\n" on
// Windows too), so that both builders print the same bytes.
void UseBinaryStandardStreams();

// The command line after the program name, as UTF-8.
std::vector<std::string> CommandArguments(int argc, char **argv);

// An environment variable's value as UTF-8; false when it is not set.
bool EnvironmentValue(const char *name, std::string &value);
