#include "startup/message_log.h"

#include "installer/temp_folder.h"
#include "startup/byte_helpers.h"
#include "startup/parameter_block_data.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"

constexpr uint32_t DEPLOYMENT_FLAGS = FLAG_EXIT_CODES | FLAG_NO_ERROR_BOXES | FLAG_WAIT_ALL;
constexpr int LOG_PREFIX_BYTES = 32;

static char LogPath[PATH_BUFFER_BYTES];  // from "-log", or "" for the default place

bool MessagesGoToLog()
{
    return (ParameterFlags() & (FLAG_NO_ERROR_BOXES | FLAG_UNATTENDED)) == (FLAG_NO_ERROR_BOXES | FLAG_UNATTENDED);
}

// A log is kept without boxes, or with another deployment option when the
// command line names one.
static bool LogKept()
{
    return MessagesGoToLog() || (LogPath[0] && (ParameterFlags() & DEPLOYMENT_FLAGS));
}

void ReadLogArgument(const char *command_line)
{
    if (!(ParameterFlags() & DEPLOYMENT_FLAGS))
        return;
    for (const char *p = command_line; *p; p = CharNextA(p)) {
        if (p[0] != '-' || p[1] != 'l' || p[2] != 'o' || p[3] != 'g' || p[4] != ' ')
            continue;
        p += 5;
        while (*p == ' ')
            p++;
        const char end = *p == '"' ? '"' : ' ';
        if (*p == '"')
            p++;
        size_t length = 0;
        while (p[length] && p[length] != end)
            length++;
        // A path that does not fit is not cut: the log goes to its default place.
        if (length == 0 || length >= sizeof LogPath)
            return;
        CopyBytes(LogPath, p, length);
        LogPath[length] = '\0';
        return;
    }
}

// The default place: beside the numbered temporary folders.
static bool DefaultLogPath(char *path)
{
    char base[PATH_BUFFER_BYTES];
    if (MessageTable ? !TempFolderBase(base, sizeof base) : !GetTempPathA(sizeof base, base))
        return false;
    StripTrailingSeparator(base);
    return FormatString(path, PATH_BUFFER_BYTES, "%s\\TVSFX%lu.LOG", base,
                        static_cast<unsigned long>(GetCurrentProcessId())) == 0;
}

static void AppendToLog(const char *prefix, const char *text)
{
    char default_path[PATH_BUFFER_BYTES];
    const char *path = LogPath;
    if (!path[0]) {
        if (!DefaultLogPath(default_path))
            return;
        path = default_path;
    }
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(log, prefix, lstrlenA(prefix), &written, nullptr);
    WriteFile(log, text, lstrlenA(text), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
}

int LogMessage(int id, const char *text, UINT style)
{
    char prefix[LOG_PREFIX_BYTES];
    if (id < 0 || FormatString(prefix, sizeof prefix, "StringId %d: ", id))
        (void)CopyString(prefix, sizeof prefix, "StringId -: ");
    AppendToLog(prefix, text);
    switch (style & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDNO;
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    default:
        return IDOK;
    }
}

void LogNote(const char *text)
{
    if (LogKept())
        AppendToLog("note: ", text);
}
