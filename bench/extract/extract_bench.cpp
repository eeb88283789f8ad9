// Our contender in the extraction benchmark (a program, not a test): extracts
// an installer that tvsfx built into a folder, through the stub's own code
// (talvok_win32, compiled as the stub is), and nothing else.
//
//   extract_bench INSTALLER TARGET_FOLDER
//
// The main dialog does not start extraction yet, so this program does what
// it will do: the start-up steps the run needs, then the installer's
// ParameterBlock taken over, the installer opened as ArchiveFile,
// TargetFolder set and ExtractionRun called. No window is shown: MainWindow
// stays null, as in an unattended run; a failure still shows its message box
// and waits. scripts/bench-extract.sh times the whole process from outside.
// Exit code: the run's result (0 when every member came out with its CRC
// right), 3 when the installer or the folder cannot be used.
#include <windows.h>

#include <cstdio>

#include "archive/extraction_run.h"
#include "archive/output_path.h"
#include "extract/crc32.h"
#include "extract/output_writer.h"
#include "portable/parameter_block.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"

namespace {

// The completed stub's block lies in its image, well inside the first 64 KiB.
constexpr DWORD BLOCK_SEARCH_BYTES = 0x10000;

// Copies the first ParameterBlock found in the installer's head into ours.
bool TakeOverParameterBlock(const char *installer)
{
    static uint8_t head[BLOCK_SEARCH_BYTES];
    HANDLE file = CreateFileA(installer, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD head_bytes = 0;
    BOOL read = ReadFile(file, head, sizeof head, &head_bytes, nullptr);
    CloseHandle(file);
    if (!read)
        return false;
    const uint8_t marker[] = {PARAMETER_MARKER_INIT};
    for (DWORD at = 0; at + PARAMETER_BLOCK_BYTES <= head_bytes; at++) {
        if (memcmp(head + at, marker, sizeof marker) == 0) {
            memcpy(ParameterBlock, head + at, PARAMETER_BLOCK_BYTES);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: extract_bench INSTALLER TARGET_FOLDER\n");
        return 3;
    }
    ResetRunState();
    AppInstance = GetModuleHandleA(nullptr);
    BusyCursor = ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    if (AllocateRunBuffers())
        return 3;
    PrepareDecoder();
    UnpackMessageTable();
    BuildCrcTable();
    AssembleSignatures();
    if (!TakeOverParameterBlock(argv[1])) {
        std::fprintf(stderr, "%s: no ParameterBlock found\n", argv[1]);
        return 3;
    }
    ArchiveFile = _lopen(argv[1], OF_SHARE_DENY_WRITE);
    if (ArchiveFile == HFILE_ERROR) {
        std::fprintf(stderr, "%s: cannot open it\n", argv[1]);
        return 3;
    }
    // The folder is made first, as the installer makes its temporary folder.
    if (GetFullPathNameA(argv[2], sizeof TargetFolder, TargetFolder, nullptr) >= sizeof TargetFolder ||
        (!CreateDirectoryA(TargetFolder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)) {
        std::fprintf(stderr, "%s: cannot create it\n", argv[2]);
        return 3;
    }
    ResetProgress();
    int result = ExtractionRun();
    _lclose(ArchiveFile);
    if (result != 0)
        std::fprintf(stderr, "the extraction run ended with %d\n", result);
    return result;
}
