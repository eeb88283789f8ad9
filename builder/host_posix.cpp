// The host interface on Linux and other POSIX systems (see host_system.h).
#include "host_system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

bool QueryEntry(const std::string &path, EntryInfo &info, std::string &error)
{
    struct stat link_info;
    struct stat target;
    if (lstat(path.c_str(), &link_info) != 0 || stat(path.c_str(), &target) != 0) {
        error = std::strerror(errno);
        return false;
    }
    info = EntryInfo{};
    if (S_ISDIR(target.st_mode))
        info.kind = S_ISLNK(link_info.st_mode) ? EntryKind::LinkToFolder : EntryKind::Folder;
    else if (S_ISREG(target.st_mode))
        info.kind = EntryKind::File;
    else
        info.kind = EntryKind::Other;
    info.is_link = S_ISLNK(link_info.st_mode);
    info.size_bytes = uint64_t(target.st_size);
    info.modified = int64_t(target.st_mtime);
    info.identity = FileIdentity{uint64_t(target.st_dev), uint64_t(target.st_ino), true};
    return true;
}

bool ResolvedPath(const std::string &path, std::string &resolved, std::string &error)
{
    std::unique_ptr<char, void (*)(void *)> absolute(realpath(path.c_str(), nullptr), std::free);
    if (!absolute) {
        error = std::strerror(errno);
        return false;
    }
    resolved = absolute.get();
    return true;
}

bool MakeFolder(const std::string &folder, std::string &error)
{
    if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST)
        return true;
    error = std::strerror(errno);
    return false;
}

bool ListFolder(const std::string &folder, std::vector<std::string> &names, std::string &error)
{
    std::unique_ptr<DIR, int (*)(DIR *)> directory(opendir(folder.c_str()), closedir);
    if (!directory) {
        error = std::strerror(errno);
        return false;
    }
    names.clear();
    errno = 0;
    while (const dirent *entry = readdir(directory.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
        errno = 0;
    }
    if (errno != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &error, uint64_t max_bytes)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = std::strerror(errno);
        return false;
    }
    bytes.clear();
    struct stat info;
    if (fstat(descriptor, &info) == 0 && info.st_size > 0 && uint64_t(info.st_size) <= max_bytes)
        bytes.reserve(size_t(info.st_size));
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t count = read(descriptor, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            error = std::strerror(errno);
            close(descriptor);
            return false;
        }
        if (count == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + count);
        if (bytes.size() > max_bytes) {
            error = "more than " + std::to_string(max_bytes) + " bytes";
            close(descriptor);
            return false;
        }
    }
    close(descriptor);
    return true;
}

bool ToLocalTime(int64_t when, struct tm &local)
{
    const time_t seconds = time_t(when);
    return localtime_r(&seconds, &local) != nullptr;
}

bool ToUtcTime(int64_t when, struct tm &utc)
{
    const time_t seconds = time_t(when);
    return gmtime_r(&seconds, &utc) != nullptr;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool SystemRandomBytes(uint8_t *destination, size_t count_bytes)
{
    while (count_bytes > 0) {
        const ssize_t count = getrandom(destination, count_bytes, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        destination += count;
        count_bytes -= size_t(count);
    }
    return true;
}

void UseBinaryStandardStreams() {}

std::vector<std::string> CommandArguments(int argc, char **argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool EnvironmentValue(const char *name, std::string &value)
{
    const char *found = std::getenv(name);
    if (!found)
        return false;
    value = found;
    return true;
}
