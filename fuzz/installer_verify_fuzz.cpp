// libFuzzer target for "tvsfx verify" and "tvsfx info" reading an installer:
// each input is a whole installer file. Both commands read everything with
// bounds checks and report what is wrong, or refuse the file with a
// BuildError (main prints it and exits 1); neither may crash, read outside
// the file, hit undefined behaviour or throw anything else. verify runs with a password so
// that encrypted members are decrypted and decoded too (the seeds' encrypted
// installers use it).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "build_error.h"
#include "info_command.h"
#include "text_encoding.h"
#include "verify_command.h"

namespace {

std::string input_path;

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "installer fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The commands print a line per finding: kept out of libFuzzer's log.
    if (!std::freopen("/dev/null", "w", stdout))
        std::abort();
    char path[] = "/tmp/tvsfx-fuzz-XXXXXX";
    const int fd = mkstemp(path);
    Require(fd >= 0, "no temporary file");
    close(fd);
    input_path = path;
    std::atexit([] { unlink(input_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *file = std::fopen(input_path.c_str(), "wb");
    Require(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0, "cannot write the input");

    ReadingOptions verify;
    verify.file = input_path;
    verify.codepage = DEFAULT_CODEPAGE;
    verify.quiet = true;
    verify.password.text = "fuzz";
    try {
        const int verified = RunVerify(verify);
        Require(verified == 0 || verified == 1 || verified == 2, "verify: an exit status outside 0..2");
    } catch (const BuildError &) {
    }

    ReadingOptions info;
    info.file = input_path;
    info.codepage = DEFAULT_CODEPAGE;
    info.json = size && (data[size - 1] & 1);
    try {
        const int informed = RunInfo(info);
        Require(informed == 0 || informed == 1, "info: an exit status outside 0..1");
    } catch (const BuildError &) {
    }
    return 0;
}
