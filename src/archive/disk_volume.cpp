// Disk volumes (see disk_volume.h). The prompts are message boxes owned by
// the main dialog; their answers are the only way out of OpenDisk's loop
// besides the right disk.
#include "archive/disk_volume.h"

#include <windows.h>

#include <cstdarg>

#include "archive/disk_label.h"
#include "archive/read_error_codes.h"
#include "extract/inflate/stream_buffers.h"
#include "fixed_texts.h"
#include "startup/abort.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/exit_code.h"
#include "startup/message_box.h"
#include "startup/message_log.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/run_state.h"

uint16_t CurrentDisk = 1;

constexpr int DRIVE_ROOT_BYTES = 8;    // "A:", its backslash for the volume query, room to spare
constexpr int VOLUME_LABEL_BYTES = 32;

DiskNaming VolumeNaming()
{
    return ExeVolumeFlag ? DiskNaming::Exe : DiskNaming::Zip;
}

uint16_t ReadDiskNumber(const char *drive_root)
{
    // The system wants the root with its backslash ("A:\"); "A:" alone
    // would name the drive's current folder.
    char root[DRIVE_ROOT_BYTES];
    if (CopyString(root, sizeof root, drive_root) || AppendString(root, sizeof root, "\\"))
        InternalError("sfxhead", PLACE_DISK_ROOT);
    char label[VOLUME_LABEL_BYTES];
    if (!GetVolumeInformationA(root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
        return NO_DISK;
    return DiskNumberFromLabel(label);
}

// Formats a prompt into FormatBuffer and shows it; returns the button.
static int Prompt(UINT style, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int failed = FormatStringV(FormatBuffer, BufferSizes[SIZE_FORMAT_BUFFER], format, arguments);
    va_end(arguments);
    if (failed)
        InternalError("sfxhead", PLACE_DISK_PROMPT_TEXT);
    if (lstrlenA(FormatBuffer) >= BufferSizes[SIZE_FORMAT_BUFFER] - 1)
        InternalError("sfxhead", PLACE_DISK_PROMPT_FULL);
    return ShowMessage(MainWindow, FormatBuffer, style, format);
}

// The prompt was answered with Cancel or Abort (by the log when no person
// is there): the run ends.
[[noreturn]] static void AbandonDisk()
{
    NoteOutcome(MessagesGoToLog() ? EXIT_DISK_MISSING : EXIT_USER_CANCELLED);
    AbortRun(2);
}

// The disk in the drive, once the user has put one there whose label names
// a disk or has chosen Ignore (which takes whatever is there for wanted).
static uint16_t LabelledDisk(const char *drive_root, uint16_t wanted)
{
    for (;;) {
        const uint16_t number = ReadDiskNumber(drive_root);
        if (number != NO_DISK)
            return number;
        switch (Prompt(MB_ABORTRETRYIGNORE | MB_ICONQUESTION, Message(MSG_DISK_LABEL_WRONG), wanted)) {
        case IDIGNORE:
            return wanted;
        case IDRETRY:
            break;
        default:
            AbandonDisk();
        }
    }
}

// OwnPath with everything from its last "." replaced by the naming's
// extension; a file name without "." gets the extension appended (a "." in
// a folder's name is no extension).
static void DiskFileName(char *name, DiskNaming naming)
{
    if (CopyString(name, PATH_BUFFER_BYTES, OwnPath))
        InternalError("sfxhead", PLACE_DISK_FILE_NAME);
    char *extension = nullptr;
    for (char *next = name; *next; next = CharNextA(next))
        if (*next == '.')
            extension = next;
        else if (*next == '\\' || *next == '/')
            extension = nullptr;
    if (extension)
        *extension = '\0';
    if (AppendString(name, PATH_BUFFER_BYTES, naming == DiskNaming::Exe ? ".EXE" : ".ZIP"))
        InternalError("sfxhead", PLACE_DISK_FILE_NAME);
}

void OpenDisk(uint16_t wanted, DiskNaming naming)
{
    if (ArchiveFile != HFILE_ERROR)
        _lclose(ArchiveFile);
    ArchiveFile = HFILE_ERROR;
    const char drive_root[] = {OwnPath[0], ':', '\0'};
    for (;;) {
        CurrentDisk = LabelledDisk(drive_root, wanted);
        if (CurrentDisk == wanted)
            break;
        const int answer = wanted == 0 ? Prompt(MB_OKCANCEL, Message(MSG_INSERT_LAST_DISK), drive_root)
                                       : Prompt(MB_OKCANCEL, Message(MSG_INSERT_DISK), wanted, drive_root);
        if (answer != IDOK)
            AbandonDisk();
    }
    char name[PATH_BUFFER_BYTES];
    DiskFileName(name, naming);
    ArchiveFile = _lopen(name, OF_READ | OF_SHARE_DENY_WRITE);
    if (ArchiveFile == HFILE_ERROR)
        HeaderCorruptAbort();
}

// The bytes from the position to the end of the file, at most remaining,
// stepped over; -1 when the end cannot be found.
static LONG StepWithinDisk(LONG remaining)
{
    const LONG current = _llseek(ArchiveFile, 0, FILE_CURRENT);
    const LONG end = _llseek(ArchiveFile, 0, FILE_END);
    if (current == HFILE_ERROR || end == HFILE_ERROR)
        return -1;
    const LONG available = end - current;
    if (available > remaining) {
        _llseek(ArchiveFile, current + remaining, FILE_BEGIN);
        return remaining;
    }
    return available;
}

int32_t SkipSpannedData()
{
    const LONG remaining = InputRemaining;
    if (remaining <= 0)
        return 0;
    LONG step = StepWithinDisk(remaining);
    if (step >= 0 && step < remaining) {
        // The file ended first: the data goes on on the next disk. When
        // nothing was left here, the step is taken there instead, so that
        // each call makes progress.
        OpenDisk(static_cast<uint16_t>(CurrentDisk + 1), VolumeNaming());
        if (step == 0)
            step = StepWithinDisk(remaining);
    }
    if (step < 0)
        ReportReadError(READ_ERROR_MEMBER_DATA);
    InputRemaining -= step;
    return step;
}
