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
#include <string>

namespace {
constexpr int EXIT_FAILURE_STATUS = 1;
constexpr int EXIT_USAGE_STATUS = 2;

// tvsfx --version: the release and the stubs compiled into this tvsfx.
int PrintVersion()
{
    std::printf("tvsfx %s\n", TVSFX_VERSION);
    // One line per stub: "  x86 stub  tvsfx32.exe, ..." for the default
    // language, "  x86 stub  tvsfx32_en.exe (en), ..." for the others.
    for (size_t index = 0; index < EmbeddedStubCount; index++) {
        const EmbeddedStubPair &pair = EmbeddedStubs[index];
        const std::string suffix = index == 0 ? "" : std::string("_") + pair.language;
        const struct {
            const char *arch;
            std::string name;
            size_t bytes;
        } stubs[] = {{"x86", "tvsfx32" + suffix + ".exe", *pair.x86_bytes},
                     {"x64", "tvsfx64" + suffix + ".exe", *pair.x64_bytes}};
        for (const auto &stub : stubs)
            if (stub.bytes)
                std::printf("  %s stub  %s (%s), %zu bytes, built in\n", stub.arch, stub.name.c_str(), pair.language,
                            stub.bytes);
            else
                std::printf("  %s stub  %s (%s): not built in (give --stub)\n", stub.arch, stub.name.c_str(),
                            pair.language);
    }
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
