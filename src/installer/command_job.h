// With FLAG_WAIT_ALL the command runs in a job object of its own, and the
// command counts as ended only when every process of the job has: setup
// programs that start the real installer and end at once no longer let the
// clean-up delete files still in use. The process is created suspended, put
// into the job and only then let run, so that no child can start outside it.
//
// Where the job cannot be had (CreateJobObjectA fails, or
// AssignProcessToJobObject refuses a process that is already in a job on
// Windows before 8, which has no nested jobs), the wait is the plain one, for
// the command's own process, and the log says so.
#pragma once

#include <windows.h>

// The creation flags for the command's CreateProcessA.
DWORD CommandCreationFlags();

// Puts the started process into the command's job and lets its thread run.
// Without FLAG_WAIT_ALL it does nothing.
void AdoptCommand(HANDLE process, HANDLE thread);

// Waits up to slice_ms for the command to end: its process, and with a job
// every process in the job. True when it has ended.
bool CommandEnded(HANDLE process, DWORD slice_ms);
