// Stand-ins for what the stub's record, header and output-path code calls
// outside itself (see stub_stand_ins.h). Windows calls keep the semantics
// the code relies on: _lread returns fewer bytes at the end of the file,
// _llseek refuses a position before the start (HFILE_ERROR, position kept)
// and allows one past the end; the folder calls work on a small file system
// in memory, CharNextA on the code page the fuzz target chose. Every folder
// created and every file written must lie under TargetFolder, with no
// component that climbs out or names a device: the stand-ins abort
// otherwise. Only the extraction of a member's data is reduced: it reads the
// data through the real member input and stops early, as a deflate stream
// with bytes after its final block does.
#include "stub_stand_ins.h"

#include <windows.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "archive/disk_volume.h"
#include "archive/member_header.h"
#include "archive/output_path.h"
#include "archive/read_error_codes.h"
#include "extract/aes/ae_member.h"
#include "extract/crypt/member_input.h"
#include "extract/extract_member.h"
#include "extract/inflate/stream_buffers.h"
#include "startup/exit_code.h"
#include "startup/message_box.h"
#include "extract/output_writer.h"
#include "startup/abort.h"
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

void Require(bool condition, const char *what, const char *path)
{
    if (!condition) {
        std::fprintf(stderr, "stub stand-ins: %s: \"%s\"\n", what, path);
        std::abort();
    }
}

// The file system: every folder and file the run may find, by full path
// (true for a folder).
std::map<std::string, bool> entries;

bool IsLead(unsigned char byte)
{
    return DoubleByteCodePage && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

// Windows opens these as devices in every folder, whatever extension and
// blanks follow: checked here on their own, not with the stub's check.
bool NamesADevice(const std::string &component)
{
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char &c : base)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    const unsigned char number = base.size() == 4 ? static_cast<unsigned char>(base[3]) : 0;
    return (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base.size() == 4 &&
           ((number >= '0' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3);
}

// path must be TargetFolder, a separator and components none of which is
// "..", holds a colon or names a device.
void RequireUnderTarget(const char *path)
{
    const size_t target_bytes = std::strlen(TargetFolder);
    Require(std::strncmp(path, TargetFolder, target_bytes) == 0 && path[target_bytes] == '\\',
            "a path outside the target folder", path);
    const char *component = path + target_bytes + 1;
    for (const char *p = component;; p = CharNextA(p)) {
        if (*p && *p != '\\' && *p != '/')
            continue;
        const std::string name(component, static_cast<size_t>(p - component));
        Require(name != "..", "a path that climbs out", path);
        Require(name.find(':') == std::string::npos, "a drive or stream in a path", path);
        Require(!NamesADevice(name), "a device in a path", path);
        if (!*p)
            return;
        component = p + 1;
    }
}

}  // namespace

bool DoubleByteCodePage;
int OverwriteAnswer;

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

// Code page 932's lead bytes when DoubleByteCodePage is set, none otherwise.
LPSTR CharNextA(LPCSTR text)
{
    if (!*text)
        return const_cast<LPSTR>(text);
    return const_cast<LPSTR>(IsLead(static_cast<unsigned char>(*text)) && text[1] ? text + 2 : text + 1);
}
int _ismbblead(unsigned int byte) { return IsLead(static_cast<unsigned char>(byte)); }

void ResetFileSystem(const char *target_folder)
{
    std::strcpy(TargetFolder, target_folder);
    entries.clear();
    // The target and every folder above it exist.
    for (size_t i = 0; TargetFolder[i]; i++)
        if (TargetFolder[i] == '\\')
            entries[std::string(TargetFolder, i)] = true;
    entries[TargetFolder] = true;
}

// A path that ends in a separator finds nothing, as on Windows.
HANDLE FindFirstFileA(LPCSTR path, WIN32_FIND_DATAA *found)
{
    const auto entry = entries.find(path);
    if (entry == entries.end())
        return INVALID_HANDLE_VALUE;
    found->dwFileAttributes = entry->second ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(1));
}
BOOL FindClose(HANDLE) { return 1; }

// Fails, as Windows does, where something of that name exists or the
// folder above it does not; one trailing separator names the same folder.
BOOL CreateDirectoryA(LPCSTR path, void *)
{
    RequireUnderTarget(path);
    const char *last = nullptr, *last_separator = nullptr;
    for (const char *p = path; *p; p = CharNextA(p)) {
        last = p;
        if (*p == '\\' || *p == '/')
            last_separator = p;
    }
    std::string folder = path;
    if (last && last == last_separator) {
        folder.pop_back();
        last_separator = nullptr;
        for (const char *p = path; p < last; p = CharNextA(p))
            if (*p == '\\' || *p == '/')
                last_separator = p;
    }
    if (entries.count(folder) || !last_separator ||
        !entries.count(std::string(path, static_cast<size_t>(last_separator - path))))
        return 0;
    entries[folder] = true;
    return 1;
}
UINT GetDriveTypeA(LPCSTR root) { return root[0] == 'C' ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR; }
int MessageBoxA(HWND, LPCSTR, LPCSTR, UINT) { return OverwriteAnswer; }
// The overwrite question reaches MessageBoxA through these; the run's exit
// code is not the fuzz target's business.
int ShowMessage(HWND owner, const char *text, UINT style, const char *) { return MessageBoxA(owner, text, "", style); }
void NoteOutcome(DWORD) {}

// Reached through path_helpers.cpp, never called by the code under test.
DWORD GetEnvironmentVariableA(LPCSTR, LPSTR, DWORD) { return 0; }
BOOL SetFileAttributesA(LPCSTR, DWORD) { return 0; }
BOOL DeleteFileA(LPCSTR) { return 0; }
BOOL DosDateTimeToFileTime(WORD, WORD, FILETIME *) { return 0; }
BOOL LocalFileTimeToFileTime(const FILETIME *, FILETIME *) { return 0; }
BOOL SetFileTime(HANDLE, const FILETIME *, const FILETIME *, const FILETIME *) { return 0; }

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
void AbortRun(int) { EndRun(StubOutcome::Cancelled); }
const char *Message(StringId) { return "message"; }

//---------------------------------------------------------------- what extraction needs

int MeterInUse;
void UpdateMeter() {}

// AES members: the walk needs their bounds, not their cryptography. A held
// password is taken as right and the data read as it is.
void AcceptAesPassword()
{
    if (!Password)
        ErrorAbort("no password");
}
void DecryptAesInput(uint8_t *, uint32_t) {}
void FinishAesMember() {}

// The output file is created where the path says (failing on a folder of
// that name, as _lcreat does), then the data is read through the member
// input up to its first 0xFF byte, where a decoder that met its final block
// would stop; the walk must step over the rest.
uint32_t ExtractMember()
{
    RequireUnderTarget(MemberPath);
    const auto entry = entries.find(MemberPath);
    if (entry != entries.end() && entry->second)
        ErrorAbort("a folder stands where the file goes");
    entries[MemberPath] = false;
    uint8_t byte = 0;
    while (byte != 0xFF && NextInputByte(byte) != 0) {
    }
    return 0;
}
