// Atomic output (see output_file.h).
#include "output_file.h"

#include "build_error.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t INSTALLER_MODE = 0755;  // before umask, as a linker would

// The temporary file: removed by the destructor unless kept.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string &target) : path_(target + ".tmp-XXXXXX")
    {
        descriptor_ = mkstemp(path_.data());
        if (descriptor_ < 0)
            Refuse("%s: cannot create a file next to it: %s", target.c_str(), std::strerror(errno));
    }
    ~TemporaryFile()
    {
        if (descriptor_ >= 0)
            close(descriptor_);
        if (!kept_)
            unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    int descriptor() const { return descriptor_; }
    const std::string &path() const { return path_; }
    // Closes the file; 0 on success, else errno.
    int Close()
    {
        int rc = close(descriptor_);
        descriptor_ = -1;
        return rc == 0 ? 0 : errno;
    }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    int descriptor_ = -1;
    bool kept_ = false;
};

}  // namespace

void WriteOutputFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    TemporaryFile temporary(path);
    size_t written_bytes = 0;
    while (written_bytes < bytes.size()) {
        ssize_t count = write(temporary.descriptor(), bytes.data() + written_bytes, bytes.size() - written_bytes);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            Refuse("%s: cannot write: %s", temporary.path().c_str(), std::strerror(errno));
        written_bytes += size_t(count);
    }
    mode_t mask = umask(0);
    umask(mask);
    if (fchmod(temporary.descriptor(), INSTALLER_MODE & ~mask) != 0)
        Refuse("%s: cannot set its mode: %s", temporary.path().c_str(), std::strerror(errno));
    if (int error = temporary.Close())
        Refuse("%s: cannot write: %s", temporary.path().c_str(), std::strerror(error));
    if (rename(temporary.path().c_str(), path.c_str()) != 0)
        Refuse("%s: cannot put the installer in place: %s", path.c_str(), std::strerror(errno));
    temporary.Keep();
}
