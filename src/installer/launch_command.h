// Starting the author's command from the extracted folder, and the wait for
// a named program that the command leaves running.
#pragma once

#include <windows.h>

constexpr UINT_PTR LAUNCH_FAILED = 0;
constexpr UINT_PTR LAUNCH_STARTED = 33;  // a process launch that succeeded

// Starts command (with parameters, when not empty) through the shell's
// "Install" verb when the flags ask for it, else as a process; the program
// that a relative command names is taken from TargetFolder when it is there,
// else found by the system's search. Above 32 on
// success, with the process handle (possibly null after a shell launch) in
// *process; LAUNCH_FAILED after a failure, already reported in a box.
UINT_PTR LaunchCommand(const char *command, const char *parameters, HANDLE *process);

// Returns once the program named by the block's wait name (".exe" added) is
// no longer running, that is its file is free or not found (never looked
// for in the installer's own folder), or the user cancelled.
void WaitForNamedProgram();
