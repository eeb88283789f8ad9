// The internal-error path and its report. Every line of the report is
// formatted into one 401-byte buffer with that bound; the format strings,
// with their mix of "\n" and "\r\n", are the report's fixed layout.
#include "startup/internal_error.h"

#include "fixed_texts.h"
#include "language_texts.h"
#include "startup/byte_helpers.h"
#include "startup/exit_code.h"
#include "startup/message_box.h"
#include "startup/run_state.h"

constexpr int REPORT_LINE_BYTES = 401;

static int InternalErrorCount;       // recursion guard: only the first one reports
static OSVERSIONINFOA SystemVersion; // as taken at start-up, for the report

void RecordSystemVersion()
{
    SystemVersion.dwOSVersionInfoSize = sizeof SystemVersion;
    GetVersionExA(&SystemVersion);
}

// Formats one report line into line_buffer (bound 401) and writes it; a line
// that does not fit is an internal error with the caller's line number.
static void WriteReportLine(HANDLE file, char *line_buffer, int failure_line, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int failed = FormatStringV(line_buffer, REPORT_LINE_BYTES, format, args);
    va_end(args);
    if (failed)
        InternalError("sfxhead", failure_line);
    DWORD written;
    WriteFile(file, line_buffer, lstrlenA(line_buffer), &written, nullptr);
}

void WriteDiagnosticReport(HANDLE file)
{
    char line[REPORT_LINE_BYTES];
    SYSTEMTIME now;
    GetSystemTime(&now);
    WriteReportLine(file, line, 3227, "\nCurrent date/time: %02d/%02d/%04d %02d:%02d\r\n", now.wMonth,
                    now.wDay, now.wYear, now.wHour, now.wMinute);

    char module_name[PATH_BUFFER_BYTES];
    if (!GetModuleFileNameA(AppInstance, module_name, PATH_BUFFER_BYTES))
        module_name[0] = '\0';
    WriteReportLine(file, line, 3237, "Module name = %s\r\n", module_name);

    WriteReportLine(file, line, 3244, "\nOperating System Version %d.%02d\r\n",
                    static_cast<int>(SystemVersion.dwMajorVersion),
                    static_cast<int>(SystemVersion.dwMinorVersion));
    if (!(WindowsVersion & 0x80000000u))
        WriteReportLine(file, line, 3253, "Windows NT\r\n");
    else if ((WindowsVersion & 0xFF) >= 4)
        WriteReportLine(file, line, 3259, "Windows 95/98\r\n");
    else
        WriteReportLine(file, line, 3256, "Win32s\r\n");
    WriteReportLine(file, line, 3264, " Version %d.%d\r\n", static_cast<int>(WindowsVersion & 0xFF),
                    static_cast<int>((WindowsVersion >> 8) & 0xFF));

    MEMORYSTATUS memory;
    memory.dwLength = 32;
    GlobalMemoryStatus(&memory);
    WriteReportLine(file, line, 3271, "Memory in use = %ld%%\r\n", static_cast<long>(memory.dwMemoryLoad));
    WriteReportLine(file, line, 3275, "Total physical memory = %ld Kbytes\r\n",
                    static_cast<long>(memory.dwTotalPhys >> 10));
    WriteReportLine(file, line, 3279, "Physical memory available = %ld Kbytes\r\n",
                    static_cast<long>(memory.dwAvailPhys >> 10));
    WriteReportLine(file, line, 3283, "Total virtual memory = %ld Kbytes\r\n",
                    static_cast<long>(memory.dwTotalVirtual >> 10));
    WriteReportLine(file, line, 3287, "Virtual memory available = %ld Kbytes\r\n",
                    static_cast<long>(memory.dwAvailVirtual >> 10));
}

void InternalError(const char *source, int line)
{
    if (InternalErrorCount++ != 0)
        ExitProcess(ProcessExitCode(1));

    char text[REPORT_LINE_BYTES];
    if (FormatString(text, sizeof text, TEXT_INTERNAL_ERROR_FORMAT, source, line))
        InternalError("sfxhead", 3188);
    ShowMessage(MainWindow, text, MB_ICONWARNING);

    HANDLE report = CreateFileA(REPORT_FILE_NAME, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (report == INVALID_HANDLE_VALUE)
        ExitProcess(ProcessExitCode(1));
    if (AppendString(text, sizeof text, "\r\n"))
        InternalError("sfxhead", 3197);
    DWORD written;
    WriteFile(report, text, lstrlenA(text), &written, nullptr);
    WriteDiagnosticReport(report);
    CloseHandle(report);

    if (FormatString(text, sizeof text, TEXT_REPORT_WRITTEN_FORMAT, REPORT_FILE_NAME))
        InternalError("sfxhead", 3210);
    ShowMessage(MainWindow, text, MB_ICONWARNING);
    ExitProcess(ProcessExitCode(1));
}
