// The fuzz targets' side of the stand-ins (see windows.h here): the
// in-memory file that ArchiveFile reads, the file system the output paths
// meet, and how a run of the stub's code ended. Every way the stub ends a run (a message box and abort, a read
// error, the header-corrupt abort, an internal error) jumps back to
// RunStubCode with its own outcome.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/output_path.h"

enum class StubOutcome { Finished, ErrorMessage, ReadError, HeaderCorrupt, InternalError, Cancelled };

// The bytes _lread and _llseek see through ArchiveFile; the position starts at 0.
void SetArchiveBytes(const uint8_t *bytes, size_t count_bytes);
int64_t ArchivePosition();

// The answer MessageBoxA gives to the overwrite question: IDYES, IDNO or
// IDCANCEL.
extern int OverwriteAnswer;

// CharNextA and _ismbblead take code page 932's lead bytes when set, and
// none (a single-byte code page) otherwise.
extern bool DoubleByteCodePage;

// Empties the file system but for target_folder and the folders above it,
// and makes it TargetFolder (a full path without a trailing separator).
void ResetFileSystem(const char *target_folder);

// Runs code, catching the stub's aborts. GetModuleFileNameA answers
// ModuleFileName.
StubOutcome RunStubCode(void (*code)());

// Frees every LocalAlloc block still live, as the end of the process would.
void ReleaseLocalBlocks();
extern const char *ModuleFileName;
