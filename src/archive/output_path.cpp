// Output paths (see output_path.h). Every path built here passes through a
// 517-byte working buffer, so a too-long path is measured before it is cut.
#include "archive/output_path.h"

#include <windows.h>

#include "archive/member_header.h"
#include "extract/extract_member.h"
#include "extract/output_writer.h"
#include "fixed_texts.h"
#include "portable/message_buffers.h"
#include "startup/abort.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/internal_error.h"
#include "startup/internal_error_places.h"
#include "startup/exit_code.h"
#include "startup/message_box.h"
#include "startup/message_table.h"
#include "startup/path_helpers.h"

char TargetFolder[PATH_BUFFER_BYTES];
int OverwriteWithoutAsking = 1;

constexpr size_t WORKING_PATH_BYTES = 517;
constexpr unsigned char MIN_TRAIL_BYTE = 0x40;  // code pages 932, 936, 949 and 950 alike

// Device names, upper case, one after another with their NULs; the
// numbered ones take a digit after them.
constexpr char DEVICE_NAMES[] = "CON\0PRN\0AUX\0NUL\0CONIN$\0CONOUT$";
constexpr char NUMBERED_DEVICE_NAMES[] = "COM\0LPT";
constexpr size_t DEVICE_NAME_MAX_BYTES = 7;  // CONOUT$

static bool IsListed(const char *names, size_t names_bytes, const char *upper)
{
    for (const char *name = names; name < names + names_bytes; name += lstrlenA(name) + 1)
        if (!CompareBytes(name, upper, static_cast<size_t>(lstrlenA(name)) + 1))
            return true;
    return false;
}

bool IsDeviceName(const char *component, const char *end)
{
    // The device part ends at the first dot; blanks before it do not count.
    // Bytes, not characters: no byte of a device name is a lead or trail
    // byte, and a dot or blank is never a trail byte that IsUnsafeMemberName
    // lets through.
    const char *base_end = component;
    while (base_end < end && *base_end != '.')
        base_end++;
    while (base_end > component && base_end[-1] == ' ')
        base_end--;
    const size_t base_bytes = static_cast<size_t>(base_end - component);
    if (base_bytes > DEVICE_NAME_MAX_BYTES)
        return false;
    char upper[DEVICE_NAME_MAX_BYTES + 1] = {};
    for (size_t i = 0; i < base_bytes; i++)
        upper[i] = component[i] >= 'a' && component[i] <= 'z' ? static_cast<char>(component[i] - 'a' + 'A')
                                                              : component[i];
    if (base_bytes != 4)
        return IsListed(DEVICE_NAMES, sizeof DEVICE_NAMES, upper);
    // 0xB9, 0xB2, 0xB3: superscript one, two and three in code page 1252.
    const unsigned char number = static_cast<unsigned char>(upper[3]);
    upper[3] = '\0';
    return ((number >= '0' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3) &&
           IsListed(NUMBERED_DEVICE_NAMES, sizeof NUMBERED_DEVICE_NAMES, upper);
}

bool IsUnsafeMemberName(const char *name, size_t name_bytes)
{
    // A NUL among the stored bytes would cut the name that is checked here
    // short of the one the member was stored under.
    if (static_cast<size_t>(lstrlenA(name)) != name_bytes)
        return true;
    if (IsPathSeparator(name[0]) && IsPathSeparator(name[1]))
        return true;  // \\server\share or //server/share
    const char *component = IsPathSeparator(name[0]) ? name + 1 : name;
    if (*component == '\0')
        return true;
    for (const char *p = component;; p = CharNextA(p)) {
        if (*p == ':')
            return true;  // a drive, or an alternate data stream
        // No double-byte code page has a trail byte under 0x40: whether the
        // system takes such a pair as one character or lets its second byte
        // (a "/", a ":", a dot) stand alone is nothing to build on.
        if (IsDoubleByteAt(p) && static_cast<unsigned char>(p[1]) < MIN_TRAIL_BYTE)
            return true;
        if (*p == '\0' || IsPathSeparator(*p)) {
            if (p - component == 2 && component[0] == '.' && component[1] == '.')
                return true;
            if (IsDeviceName(component, p))
                return true;
            if (*p == '\0')
                return false;
            component = p + 1;
        }
    }
}

MemberKind ClassifyMember(const char *name)
{
    const char *last = LastChar(name);
    return last && IsPathSeparator(*last) ? MemberKind::Directory : MemberKind::File;
}

// TargetFolder with a trailing separator unless it is empty, into working.
static void StartFromTargetFolder(char *working)
{
    if (CopyString(working, WORKING_PATH_BYTES, TargetFolder))
        InternalError("sfxhead", PLACE_TARGET_FOLDER_COPY);
    if (working[0] && !IsPathSeparator(*LastChar(working)))
        if (AppendString(working, WORKING_PATH_BYTES, "\\"))
            InternalError("sfxhead", PLACE_TARGET_FOLDER_COPY);
}

static void ReplaceSlashes(char *path)
{
    for (char *p = path; *p; p = CharNextA(p))
        if (*p == '/')
            *p = '\\';
}

void BuildOutputPath()
{
    if (TargetFolder[0]) {
        char working[WORKING_PATH_BYTES];
        StartFromTargetFolder(working);
        const char *name = IsPathSeparator(MemberPath[0]) ? MemberPath + 1 : MemberPath;
        if (lstrlenA(working) + lstrlenA(name) + 1 > OUTPUT_PATH_MAX_CHARS + 1)
            ErrorAbortFormatted(PLACE_NAME_TEXT, PLACE_NAME_FULL, Message(MSG_CANNOT_CREATE_FILE), MemberPath);
        if (AppendString(working, WORKING_PATH_BYTES, name) || CopyString(MemberPath, sizeof MemberPath, working))
            InternalError("sfxhead", PLACE_TARGET_FOLDER_COPY);
    }
    ReplaceSlashes(MemberPath);
}

// Past the server and share of a network path (both separators skipped).
static char *PastShare(char *path)
{
    char *p = path + 2;
    for (int part = 0; part < 2; part++) {
        while (*p && !IsPathSeparator(*p))
            p = CharNextA(p);
        if (*p)
            p++;
    }
    return p;
}

// What the current run has already probed or made: the folder part (up to
// its last separator, separators as "\\") of the last path CreateFolders
// walked to its end, and the drive letter whose test passed. An archive's
// members come folder by folder, so most members' folders were all seen by
// the member before; probing them again found them again, at a cost: under
// Wine every FindFirstFileA is several calls into the wineserver, and every
// GetDriveTypeA a round trip to the mount manager's process, which made the
// folder walk the largest part of a run of small files.
static char KnownFolder[PATH_BUFFER_BYTES];  // a folder part of a path that fits MemberPath
static char CheckedDrive;

void ForgetKnownFolders()
{
    KnownFolder[0] = '\0';
    CheckedDrive = '\0';
}

// Bytes at the start of path that equal KnownFolder's, either slash
// matching "\\". A partial path that ends before this count, at a separator,
// is a folder of KnownFolder's.
static size_t KnownBytes(const char *path)
{
    size_t same = 0;
    while (KnownFolder[same] && path[same] &&
           (path[same] == KnownFolder[same] || (IsPathSeparator(path[same]) && IsPathSeparator(KnownFolder[same]))))
        same++;
    return same;
}

// Makes the folder at path unless something of that name stands there;
// 0 when something does now. Inside the member's name a folder is mostly
// new (the target folder is fresh), so it is made first and probed only
// when that fails, to tell one that stands there already from a failure:
// one call where probing first took two, each several round trips to the
// wineserver under Wine. The target folder and those above it mostly stand
// already and are probed first, so that nothing outside the target folder
// is ever asked to be made when it exists.
static int StandFolder(const char *path, bool mostly_new)
{
    if (mostly_new)
        return MakeDirectory(path) == 0 || ProbePath(path) == 0 ? 0 : 1;
    return ProbePath(path) == 0 || MakeDirectory(path) == 0 ? 0 : 1;
}

void CreateFolders(MemberKind kind)
{
    char working[WORKING_PATH_BYTES];
    if (kind == MemberKind::Directory) {
        // One leading separator is dropped, as BuildOutputPath drops it from
        // a file's name: kept, it would start the walk at the root of the
        // drive (an empty TargetFolder) or put an empty component after it.
        StartFromTargetFolder(working);
        const char *name = IsPathSeparator(MemberPath[0]) ? MemberPath + 1 : MemberPath;
        if (lstrlenA(working) + lstrlenA(name) + 1 > OUTPUT_PATH_MAX_CHARS + 1)
            ErrorAbortFormatted(PLACE_FOLDER_ERROR_TEXT, PLACE_FOLDER_ERROR_FULL, Message(MSG_CANNOT_CREATE_FOLDER),
                                MemberPath);
        if (AppendString(working, WORKING_PATH_BYTES, name))
            InternalError("sfxhead", PLACE_TARGET_FOLDER_COPY);
    } else if (CopyString(working, WORKING_PATH_BYTES, MemberPath)) {
        InternalError("sfxhead", PLACE_TARGET_FOLDER_COPY);
    }

    if (IsAsciiLetter(static_cast<unsigned char>(working[0])) && working[1] == ':' && working[0] != CheckedDrive) {
        if (!IsValidDrive(working)) {
            const char drive[2] = {working[0], '\0'};
            ErrorAbortFormatted(PLACE_FOLDER_ERROR_TEXT, PLACE_FOLDER_ERROR_FULL, Message(MSG_INVALID_DRIVE), drive);
        }
        CheckedDrive = working[0];
    }

    char *next = working;
    if (IsPathSeparator(working[0]) && IsPathSeparator(working[1]))
        next = PastShare(working);
    else if (IsPathSeparator(working[0]))
        next = working + 1;
    char *last_separator = FindLastSeparator(working);
    if (!last_separator || last_separator < next)
        return;
    char *stop = last_separator + 1;

    const size_t known_bytes = KnownBytes(working);
    const size_t target_bytes = static_cast<size_t>(lstrlenA(TargetFolder));
    while (next < stop) {
        while (*next && !IsPathSeparator(*next))
            next = CharNextA(next);
        const char cut = *next;
        *next = '\0';
        const bool drive_only = IsAsciiLetter(static_cast<unsigned char>(working[0])) && working[1] == ':' &&
                                working[2] == '\0';
        const size_t partial_bytes = static_cast<size_t>(next - working);
        if (working[0] && partial_bytes >= known_bytes && !drive_only &&
            StandFolder(working, partial_bytes > target_bytes) != 0)
            ErrorAbortFormatted(PLACE_FOLDER_ERROR_TEXT, PLACE_FOLDER_ERROR_FULL, Message(MSG_CANNOT_CREATE_FOLDER),
                                working);
        if (cut)
            *next++ = '\\';
    }
    const char kept = *stop;
    *stop = '\0';
    if (CopyString(KnownFolder, sizeof KnownFolder, working))
        InternalError("sfxhead", PLACE_TARGET_FOLDER_COPY);
    *stop = kept;
}

OverwriteDecision DecideOverwrite()
{
    if (OverwriteWithoutAsking || ProbePath(MemberPath) != 0)
        return OverwriteDecision::Extract;
    if (MeterInUse)
        UpdateMeter();  // the question shows over a current meter
    if (CopyString(OutputPath, sizeof OutputPath, MemberPath))
        InternalError("sfxhead", PLACE_OUTPUT_PATH);
    char question[OVERWRITE_QUESTION_BYTES];
    if (FormatString(question, sizeof question, Message(MSG_OVERWRITE_QUESTION), OutputPath) ||
        lstrlenA(question) >= static_cast<int>(sizeof question) - 1)
        InternalError("sfxhead", PLACE_OVERWRITE_QUESTION);
    switch (ShowMessage(MainWindow, question, MB_YESNOCANCEL, Message(MSG_OVERWRITE_QUESTION))) {
    case IDCANCEL:
        NoteOutcome(EXIT_USER_CANCELLED);
        AbortRun(1);
    case IDYES:
        return OverwriteDecision::Extract;
    default:
        return OverwriteDecision::StepOver;
    }
}
