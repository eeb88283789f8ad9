// Bounded whole-file input (see input_file.h).
#include "input_file.h"

#include "host_system.h"

bool ReadInputFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &error)
{
    EntryInfo info;
    std::string reason;
    if (!QueryEntry(path, info, reason)) {
        error = "cannot read it: " + reason;
        return false;
    }
    if (info.kind != EntryKind::File) {
        error = info.kind == EntryKind::Other ? "not a regular file (a device or a pipe)" : "a folder, not a file";
        return false;
    }
    if (info.size_bytes >= INPUT_FILE_BYTES_LIMIT) {
        error = std::to_string(info.size_bytes) + " bytes: 2 GiB or more, which no installer or archive the stub "
                "reads can be (its offsets are signed 32-bit values)";
        return false;
    }
    if (!ReadWholeFile(path, bytes, reason, INPUT_FILE_BYTES_LIMIT - 1)) {
        error = "cannot read it: " + reason;
        return false;
    }
    return true;
}
