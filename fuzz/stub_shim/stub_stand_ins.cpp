// Stand-ins for what the stub's record and header code calls outside itself
// (see stub_stand_ins.h). Windows calls keep the semantics the code relies
// on: _lread returns fewer bytes at the end of the file, _llseek refuses a
// position before the start (HFILE_ERROR, position kept) and allows one past
// the end. The Parts not under test (output paths, extraction of a member,
// the password) are reduced to what the walk needs of them: extraction
// reads the member's data as the member input would, a signed budget of
// CompressedBytes, and reports a short read.
#include "stub_stand_ins.h"

#include <windows.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "archive/disk_volume.h"
#include "archive/member_header.h"
#include "archive/output_path.h"
#include "archive/read_error_codes.h"
#include "extract/crypt/member_input.h"
#include "extract/extract_member.h"
#include "startup/error_abort.h"
#include "startup/internal_error.h"
#include "startup/message_table.h"
#include "startup/own_file.h"

namespace {

const uint8_t *file_bytes;
size_t file_size_bytes;
int64_t file_position;
std::jmp_buf run_end;
// LocalAlloc blocks not yet freed: the stub leaves the release of what an
// abort skipped over to the end of the process, which here is the input's.
std::set<void *> local_blocks;

[[noreturn]] void EndRun(StubOutcome outcome) { std::longjmp(run_end, static_cast<int>(outcome) + 1); }

}  // namespace

HFILE ArchiveFile = 3;

// The fuzzed archives lie in one file: the disk paths are never taken. Were
// one taken, the run ends as a short read would.
int SpannedFlag;
uint16_t CurrentDisk = 1;
DiskNaming VolumeNaming() { return DiskNaming::Exe; }
void OpenDisk(uint16_t, DiskNaming) { EndRun(StubOutcome::ReadError); }
int32_t SkipSpannedData()
{
    EndRun(StubOutcome::ReadError);
}
const char *ModuleFileName = "C:\\instaladores\\setup.exe";
char OutputPath[PATH_BUFFER_BYTES];

int64_t ArchivePosition() { return file_position; }

void SetArchiveBytes(const uint8_t *bytes, size_t count_bytes)
{
    file_bytes = bytes;
    file_size_bytes = count_bytes;
    file_position = 0;
}

StubOutcome RunStubCode(void (*code)())
{
    const int jumped = setjmp(run_end);
    if (jumped)
        return static_cast<StubOutcome>(jumped - 1);
    code();
    return StubOutcome::Finished;
}

//---------------------------------------------------------------- Windows

UINT _lread(HFILE, void *buffer, UINT count_bytes)
{
    if (file_position >= static_cast<int64_t>(file_size_bytes))
        return 0;
    const size_t available = file_size_bytes - static_cast<size_t>(file_position);
    const size_t taken = count_bytes < available ? count_bytes : available;
    std::memcpy(buffer, file_bytes + file_position, taken);
    file_position += static_cast<int64_t>(taken);
    return static_cast<UINT>(taken);
}

LONG _llseek(HFILE, LONG offset, int origin)
{
    // The record readers only ever step forward; a step back would send the
    // walk round the same records for ever.
    if (origin == FILE_CURRENT && offset < 0) {
        std::fprintf(stderr, "stub stand-ins: the walk stepped back %ld bytes\n", static_cast<long>(offset));
        std::abort();
    }
    int64_t target = offset;
    if (origin == FILE_CURRENT)
        target += file_position;
    else if (origin == FILE_END)
        target += static_cast<int64_t>(file_size_bytes);
    if (target < 0 || target > 0x7FFFFFFF)
        return HFILE_ERROR;
    file_position = target;
    return static_cast<LONG>(target);
}

int lstrlenA(LPCSTR text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

HLOCAL LocalAlloc(UINT, size_t size_bytes)
{
    void *block = std::calloc(1, size_bytes ? size_bytes : 1);
    local_blocks.insert(block);
    return block;
}
HLOCAL LocalFree(HLOCAL block)
{
    local_blocks.erase(block);
    std::free(block);
    return nullptr;
}

void ReleaseLocalBlocks()
{
    for (void *block : local_blocks)
        std::free(block);
    local_blocks.clear();
}
HGLOBAL GlobalAlloc(UINT, size_t size_bytes) { return std::calloc(1, size_bytes ? size_bytes : 1); }
void *GlobalLock(HGLOBAL block) { return block; }
BOOL GlobalUnlock(HGLOBAL) { return 1; }
HGLOBAL GlobalHandle(const void *block) { return const_cast<void *>(block); }
HGLOBAL GlobalFree(HGLOBAL block)
{
    std::free(block);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE, LPSTR name, DWORD size_bytes)
{
    const size_t length = std::strlen(ModuleFileName);
    if (length + 1 > size_bytes)
        return 0;
    std::memcpy(name, ModuleFileName, length + 1);
    return static_cast<DWORD>(length);
}

HICON LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }

//---------------------------------------------------------------- the stub's ends of a run

void ErrorAbort(const char *) { EndRun(StubOutcome::ErrorMessage); }
void ErrorAbortFormatted(int, int, const char *, ...) { EndRun(StubOutcome::ErrorMessage); }
void ReportReadError(int) { EndRun(StubOutcome::ReadError); }
void HeaderCorruptAbort() { EndRun(StubOutcome::HeaderCorrupt); }
void InternalError(const char *, int) { EndRun(StubOutcome::InternalError); }
const char *Message(StringId) { return "message"; }

//---------------------------------------------------------------- Parts not under test

bool IsUnsafeMemberName(const char *name) { return std::strstr(name, "..") != nullptr; }
void BuildOutputPath() {}
void CreateFolders() {}
// The answer to the overwrite question (No steps over the member), chosen
// by the fuzz target.
OverwriteDecision OverwriteAnswer = OverwriteDecision::Extract;
OverwriteDecision DecideOverwrite() { return OverwriteAnswer; }
void AcceptMemberPassword() {}

uint32_t ExtractMember()
{
    // The member input reads a signed budget: 2 GiB or more reads nothing.
    int64_t budget = static_cast<int32_t>(CurrentMember.CompressedBytes);
    uint8_t chunk[0x7000];
    while (budget > 0) {
        const UINT want = budget < static_cast<int64_t>(sizeof chunk) ? static_cast<UINT>(budget) : sizeof chunk;
        if (_lread(ArchiveFile, chunk, want) != want)
            ReportReadError(READ_ERROR_MEMBER_DATA);
        budget -= want;
    }
    return 0;
}
