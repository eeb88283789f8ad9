#include "installer/command_job.h"

#include "startup/byte_helpers.h"
#include "startup/message_log.h"
#include "startup/parameter_block_data.h"

constexpr int NOTE_BYTES = 160;

static HANDLE CommandJob;  // the job the command runs in, or nullptr

static bool WaitAll() { return (ParameterFlags() & FLAG_WAIT_ALL) != 0; }

DWORD CommandCreationFlags()
{
    return WaitAll() ? CREATE_SUSPENDED : 0;
}

static void NoteNoJob(const char *call)
{
    char note[NOTE_BYTES];
    if (FormatString(note, sizeof note, "--wait-all: %s failed (error %lu): waiting for the command's own process only",
                     call, static_cast<unsigned long>(GetLastError())) == 0)
        LogNote(note);
}

void AdoptCommand(HANDLE process, HANDLE thread)
{
    if (!WaitAll())
        return;
    CommandJob = CreateJobObjectA(nullptr, nullptr);
    if (!CommandJob) {
        NoteNoJob("CreateJobObjectA");
    } else if (!AssignProcessToJobObject(CommandJob, process)) {
        NoteNoJob("AssignProcessToJobObject");
        CloseHandle(CommandJob);
        CommandJob = nullptr;
    }
    ResumeThread(thread);
}

// Processes of the job still running; 0 when the job cannot say.
static DWORD ActiveProcesses()
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
    if (!QueryInformationJobObject(CommandJob, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr))
        return 0;
    return accounting.ActiveProcesses;
}

bool CommandEnded(HANDLE process, DWORD slice_ms)
{
    if (WaitForSingleObject(process, slice_ms) != WAIT_OBJECT_0)
        return false;
    if (!CommandJob || ActiveProcesses() == 0)
        return true;
    // The first process has ended and left others: wait for input or the
    // next slice, then look again.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, slice_ms, QS_ALLINPUT);
    return ActiveProcesses() == 0;
}
