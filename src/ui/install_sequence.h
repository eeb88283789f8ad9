// What Install sets off, from the temporary folder to the clean-up, and the
// clean-up on its own (after Done, and when Windows ends the session).
#pragma once

#include <windows.h>

constexpr UINT_PTR METER_DELAY_TIMER = 69;
constexpr UINT METER_DELAY_MS = 10;
constexpr size_t CLEAN_UP_PATH_BYTES = 500;

extern UINT_PTR MeterTimer;  // SetTimer's id for METER_DELAY_TIMER, 0 when none

// Makes path (size_bytes) the current directory, a trailing separator
// dropped for the call and put back after. 0 on success, 1 on failure.
int ChangeToFolder(char *path, size_t size_bytes);

// The install sequence, run for button 1. Returns the dialog procedure's
// result: FALSE only where the common end is left to the caller, or when no
// temporary folder could be made (then the caller must do nothing more).
enum class InstallOutcome { Handled, CommonEnd, Stalled };
InstallOutcome RunInstallSequence(HWND dialog);

// Leaves the temporary folder, deletes it (unless the command failed to
// start), ends the dialog and, in automatic or hidden mode, posts Cancel.
void RunCleanUp(HWND dialog);
