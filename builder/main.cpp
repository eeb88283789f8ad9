// tvsfx: the archive builder's entry. Dispatches on the command: "build"
// (and --help) ends every refusal with status 1, as it always has; "info"
// and "verify" end a usage mistake with status 2, since for verify status 1
// means a damaged installer. Every refusal arrives here as a BuildError and
// is printed on stderr as one line.
#include "build_command.h"
#include "build_error.h"
#include "embedded_stub.h"
#include "host_system.h"
#include "info_command.h"
#include "reading_options.h"
#include "verify_command.h"

#include <cstdio>
#include <new>

namespace {
constexpr int EXIT_FAILURE_STATUS = 1;
constexpr int EXIT_USAGE_STATUS = 2;

// tvsfx --version: the release and the stubs compiled into this tvsfx.
int PrintVersion()
{
    std::printf("tvsfx %s\n", TVSFX_VERSION);
    const struct {
        const char *arch, *name;
        size_t bytes;
    } stubs[] = {{"x86", "tvsfx32.exe", EmbeddedStubX86Bytes}, {"x64", "tvsfx64.exe", EmbeddedStubX64Bytes}};
    for (const auto &stub : stubs)
        if (stub.bytes)
            std::printf("  %s stub  %s, %zu bytes, built in\n", stub.arch, stub.name, stub.bytes);
        else
            std::printf("  %s stub  %s: not built in (give --stub)\n", stub.arch, stub.name);
    return 0;
}
}

int main(int argc, char **argv)
{
    UseBinaryStandardStreams();
    const std::vector<std::string> arguments = CommandArguments(argc, argv);
    if (arguments.size() == 1 && arguments[0] == "--version")
        return PrintVersion();
    try {
        if (!arguments.empty() && (arguments[0] == "info" || arguments[0] == "verify")) {
            const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
            const ReadingOptions options = ParseReadingCommandLine(arguments[0], rest);
            return arguments[0] == "info" ? RunInfo(options) : RunVerify(options);
        }
        std::vector<const char *> pointers;
        for (const std::string &argument : arguments)
            pointers.push_back(argument.c_str());
        Options options = ParseCommandLine(int(pointers.size()), pointers.data());
        return RunBuild(options);
    } catch (const UsageError &error) {
        std::fprintf(stderr, "tvsfx: %s\n", error.what());
        return EXIT_USAGE_STATUS;
    } catch (const BuildError &error) {
        std::fprintf(stderr, "tvsfx: %s\n", error.what());
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "tvsfx: out of memory\n");
    }
    return EXIT_FAILURE_STATUS;
}
