// From a member's stored name to the path it is written to: the name checks,
// the output path under TargetFolder, the folders on the way, and the
// question when the file already exists. Paths are ANSI strings walked with
// CharNextA, so a double-byte character's trail byte is never a separator.
#pragma once

#include <cstddef>

#include "startup/run_state.h"

extern char TargetFolder[PATH_BUFFER_BYTES];  // where the run writes; may be empty (current directory)
extern int OverwriteWithoutAsking;            // nonzero: replace existing files without a question

constexpr int OUTPUT_PATH_MAX_CHARS = 259;

// True for a stored name of name_bytes that would write outside the target
// folder or somewhere unintended: a NUL among its bytes, empty once one
// leading separator is dropped, a ".." component, a drive colon anywhere,
// two leading separators (a network path), a component that Windows opens
// as a device (IsDeviceName), or a double-byte character whose trail byte is
// under 0x40 (none of the double-byte code pages has one). Either slash
// counts as a separator.
bool IsUnsafeMemberName(const char *name, size_t name_bytes);

// True when the component from component to end is a name Windows takes for
// a device in any folder: CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9
// (also with the superscripts 1, 2 and 3 of the Western ANSI code pages),
// CONIN$ or CONOUT$, in any case, with any extension after a dot and any
// blanks before it ("nul", "Aux.txt", "com1 .log", "NUL.").
bool IsDeviceName(const char *component, const char *end);

// A member is a directory entry when the last character of its stored name
// (walked with CharNextA, so a trail byte 0x5C is no separator) is "/" or
// "\\". Decided once, here, for the whole member.
enum class MemberKind { File, Directory };
MemberKind ClassifyMember(const char *name);

// File entries: MemberPath becomes TargetFolder, a separator and the stored
// name less one leading separator, with "/" turned into "\\". Over
// OUTPUT_PATH_MAX_CHARS ends the run with StringId 38 and the stored name.
void BuildOutputPath();

// Creates the folders on the way to MemberPath: for a file, its output path
// from BuildOutputPath; for a directory entry, its stored name less one
// leading separator under TargetFolder (every folder of it, the last one
// included). Ends the run with StringId 56 for a drive that does not exist
// and StringId 42 for a folder that cannot be created or a directory path
// over the limit. Folders that an earlier call of the same run probed or
// made, and a drive it tested, are taken as there without asking the system
// again.
void CreateFolders(MemberKind kind);

// Starts a run with nothing known: every folder is probed again.
void ForgetKnownFolders();

enum class OverwriteDecision { Extract, StepOver };

// Whether a file member is written: always when OverwriteWithoutAsking is
// set or no file is there; otherwise the user is asked (Yes, No, or Cancel,
// which ends the run with result 1).
OverwriteDecision DecideOverwrite();
