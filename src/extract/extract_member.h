// One member from its data in the archive to a closed file on disk: the
// output file, the stored copy or the decoder, the CRC check and the file
// time. Every failure ends the run; the run's abort point closes OutputFile
// and leaves what was written on disk.
#pragma once

#include <windows.h>

#include <cstdint>

#include "startup/run_state.h"

extern char OutputPath[PATH_BUFFER_BYTES];  // the file being written (and named in messages)
extern HFILE OutputFile;                    // open from creation to close; 0 otherwise

// Extracts the current member (header read, path approved, password
// accepted) into MemberPath. Consumes the member's data up to the end of
// its stored copy or its deflate stream; a deflate stream may end before the
// data does, and the caller steps over the rest. Returns the computed CRC-32; a mismatch ends the run with
// StringId 40, the complete file closed with its time set.
uint32_t ExtractMember();

// Closes OutputFile if it is open; for the run's abort point.
void CloseOutputFile();

