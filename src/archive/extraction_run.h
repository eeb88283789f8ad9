// The extraction run: the archive read front to back as a stream of records,
// from the first local header to the end record, each member extracted as
// its local header is met. The central directory is stepped over, never used
// to find members.
#pragma once

extern int RunActive;  // 1 while a run is in progress

// Extracts every member into TargetFolder. Returns 0 when the walk reached
// the end record, 1 when the user cancelled at the overwrite question, 2 when
// the run was abandoned after a message or the user's cancel. Any output
// file left open by an abandoned run is closed; what was written stays.
int ExtractionRun();
