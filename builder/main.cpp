// tvsfx: the archive builder's entry. Parses the command line and runs the
// build; every refusal arrives here as a BuildError, is printed on stderr and
// ends the process with status 1.
#include "build_command.h"
#include "build_error.h"

#include <cstdio>
#include <new>

int main(int argc, char **argv)
{
    try {
        Options options = ParseCommandLine(argc - 1, argv + 1);
        return RunBuild(options);
    } catch (const BuildError &error) {
        std::fprintf(stderr, "tvsfx: %s\n", error.what());
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "tvsfx: out of memory\n");
    }
    return 1;
}
