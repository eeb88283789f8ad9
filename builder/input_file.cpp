// Bounded whole-file input (see input_file.h).
#include "input_file.h"

#include "host_system.h"

InputRead ReadInputFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &error)
{
    EntryInfo info;
    if (!QueryEntry(path, info, error))
        return InputRead::Unreachable;
    std::string reason;
    if (info.kind != EntryKind::File) {
        error = info.kind == EntryKind::Other ? "not a regular file (a device or a pipe)" : "a folder, not a file";
        return InputRead::Refused;
    }
    if (info.size_bytes >= INPUT_FILE_BYTES_LIMIT) {
        error = std::to_string(info.size_bytes) + " bytes: 2 GiB or more, which no installer or archive the stub "
                "reads can be (its offsets are signed 32-bit values)";
        return InputRead::Refused;
    }
    if (!ReadWholeFile(path, bytes, reason, INPUT_FILE_BYTES_LIMIT - 1)) {
        error = "cannot read it: " + reason;
        return InputRead::Refused;
    }
    return InputRead::Read;
}
