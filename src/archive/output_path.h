// From a member's stored name to the path it is written to: the name checks,
// the output path under TargetFolder, the folders on the way, and the
// question when the file already exists. Paths are ANSI strings walked with
// CharNextA, so a double-byte character's trail byte is never a separator.
#pragma once

#include "startup/run_state.h"

extern char TargetFolder[PATH_BUFFER_BYTES];  // where the run writes; may be empty (current directory)
extern int OverwriteWithoutAsking;            // nonzero: replace existing files without a question

constexpr int OUTPUT_PATH_MAX_CHARS = 259;

// True for a stored name that would write outside the target folder or
// somewhere unintended: empty once one leading separator is dropped, a ".."
// component, a drive colon anywhere, or two leading separators (a network
// path). Either slash counts as a separator.
bool IsUnsafeMemberName(const char *name);

// File entries: MemberPath becomes TargetFolder, a separator and the stored
// name less one leading separator, with "/" turned into "\\". Over
// OUTPUT_PATH_MAX_CHARS ends the run with StringId 38 and the stored name.
void BuildOutputPath();

// Creates the folders on the way to MemberPath (a file's path, or a
// directory entry's stored name under TargetFolder). Ends the run with
// StringId 56 for a drive that does not exist and StringId 42 for a folder
// that cannot be created or a directory path over the limit. Folders that an
// earlier call of the same run probed or made, and a drive it tested, are
// taken as there without asking the system again.
void CreateFolders();

// Starts a run with nothing known: every folder is probed again.
void ForgetKnownFolders();

enum class OverwriteDecision { Extract, StepOver };

// Whether a file member is written: always when OverwriteWithoutAsking is
// set or no file is there; otherwise the user is asked (Yes, No, or Cancel,
// which ends the run with result 1).
OverwriteDecision DecideOverwrite();
