// The archive as a stream of records, from the current position of
// ArchiveFile to the end record: each local header's member processed as it
// is met, the central directory stepped over, never used to find members.
#pragma once

// Reads records until the end record (a spanned archive: its first central
// header). Failures end the run through its abort point.
void WalkDirectory();
