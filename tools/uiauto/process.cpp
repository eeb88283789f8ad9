// The child process: starting it with its command line, folder and extra
// environment, waiting for its windows and for its end, and killing it when
// a limit passes. Also the last-failure record that every uiauto call
// reports into.
//
// The child is started suspended, put into a job object that kills what is
// left when the job's handle closes, then resumed: so killing it also ends
// any program it started. Where jobs are refused (a parent job that forbids
// break-away), the child runs without one and Kill ends the child alone.
#include "uiauto.h"
#include "uiauto_internal.h"

#include <cstdio>

namespace uiauto {

static std::string last_failure;  // written by RecordFailure only

void RecordFailure(const std::string &reason)
{
    last_failure = reason;
}

const std::string &LastFailure()
{
    return last_failure;
}

std::string HexHandle(const void *handle)
{
    char text[2 + 16 + 1];
    std::snprintf(text, sizeof text, "0x%08lX", (unsigned long)(UINT_PTR)handle);
    return text;
}

// Milliseconds left until deadline_tick, 0 once it has passed (tick counts
// wrap after 49 days; the unsigned difference stays right across a wrap).
static DWORD RemainingMs(DWORD start_tick, DWORD timeout_ms)
{
    DWORD elapsed_ms = GetTickCount() - start_tick;
    return elapsed_ms >= timeout_ms ? 0 : timeout_ms - elapsed_ms;
}

//------------------------------------------------------------ command line

std::string QuoteArgs(const std::vector<std::string> &args)
{
    std::string line;
    for (const std::string &arg : args) {
        if (!line.empty())
            line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '"';
        size_t backslash_count = 0;
        for (char c : arg) {
            if (c == '\\') {
                backslash_count++;
                continue;
            }
            // Backslashes are literal unless a quote follows them.
            size_t written_count = c == '"' ? backslash_count * 2 + 1 : backslash_count;
            line.append(written_count, '\\');
            line += c;
            backslash_count = 0;
        }
        line.append(backslash_count * 2, '\\');  // before the closing quote
        line += '"';
    }
    return line;
}

//------------------------------------------------------------- environment

// The name part of "NAME=VALUE". Names of the drive variables start with
// '=' ("=C:=C:\\"), so the search for the separator starts after it.
static std::string VariableName(const std::string &entry)
{
    size_t equals = entry.find('=', 1);
    return entry.substr(0, equals);
}

// The caller's environment with additions replacing variables of the same
// name (compared without case, as Windows does), as a block of
// NUL-terminated entries ending in an empty one.
static std::string EnvironmentBlock(const std::vector<std::string> &additions)
{
    std::string block;
    char *strings = GetEnvironmentStringsA();
    for (const char *entry = strings; entry && *entry; entry += lstrlenA(entry) + 1) {
        std::string name = VariableName(entry);
        bool replaced = false;
        for (const std::string &addition : additions)
            if (lstrcmpiA(VariableName(addition).c_str(), name.c_str()) == 0)
                replaced = true;
        if (!replaced)
            block.append(entry).push_back('\0');
    }
    if (strings)
        FreeEnvironmentStringsA(strings);
    for (const std::string &addition : additions)
        block.append(addition).push_back('\0');
    block.push_back('\0');
    return block;
}

//----------------------------------------------------------------- process

// A handle closed on every exit path of Start.
struct OwnedHandle {
    HANDLE handle = nullptr;
    ~OwnedHandle()
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

// A job that kills its processes when its last handle closes; nullptr when
// the system refuses one.
static HANDLE CreateKillingJob()
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

bool Process::Start(const LaunchOptions &options)
{
    if (handle_) {
        RecordFailure("Start: a child was already started (pid " + std::to_string(id_) + ")");
        return false;
    }
    std::string command_line = options.argv.empty() ? options.command_line
                                                    : QuoteArgs(options.argv);
    std::string environment;
    if (!options.env.empty())
        environment = EnvironmentBlock(options.env);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    OwnedHandle output;
    if (!options.output_path.empty()) {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        output.handle = CreateFileA(options.output_path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output.handle == INVALID_HANDLE_VALUE) {
            RecordFailure("Start: cannot create output file \"" + options.output_path +
                          "\" (error " + std::to_string(GetLastError()) + ")");
            return false;
        }
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = output.handle;
        startup.hStdError = output.handle;
    }

    // CreateProcessA may write into the command line: it needs its own copy.
    std::vector<char> writable_line(command_line.begin(), command_line.end());
    writable_line.push_back('\0');
    PROCESS_INFORMATION started = {};
    // Wine now and then fails a process start with ERROR_INTERNAL_ERROR when
    // its server is busy; a second attempt a moment later starts it.
    BOOL ok = FALSE;
    for (int attempt = 0; attempt < 3 && !ok; attempt++) {
        if (attempt)
            Sleep(100);
        ok = CreateProcessA(nullptr, writable_line.data(), nullptr, nullptr, output.handle ? TRUE : FALSE,
                            CREATE_SUSPENDED, environment.empty() ? nullptr : (void *)environment.data(),
                            options.working_dir.empty() ? nullptr : options.working_dir.c_str(), &startup,
                            &started);
        if (!ok && GetLastError() != ERROR_INTERNAL_ERROR)
            break;
    }
    if (!ok) {
        RecordFailure("Start: CreateProcess failed for " + command_line + " (error " +
                      std::to_string(GetLastError()) + ")");
        return false;
    }
    job_ = CreateKillingJob();
    if (job_ && !AssignProcessToJobObject(job_, started.hProcess)) {
        CloseHandle(job_);
        job_ = nullptr;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    handle_ = started.hProcess;
    id_ = started.dwProcessId;
    return true;
}

bool Process::Running() const
{
    return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> Process::Windows() const
{
    return handle_ ? TopLevelWindows(id_) : std::vector<HWND>();
}

std::string Process::Dump(bool details) const
{
    std::string dump;
    for (HWND hwnd : Windows())
        dump += FormatWindow(Describe(hwnd), details);
    return dump.empty() ? "  (no visible windows)\n" : dump;
}

static bool WindowFits(HWND hwnd, const WindowMatch &match)
{
    if (!match.class_name.empty() && ClassName(hwnd) != match.class_name)
        return false;
    if (!match.caption.empty() && WindowText(hwnd) != match.caption)
        return false;
    return true;
}

// "window captioned "X" of class "#32770"", for failure texts.
static std::string MatchText(const WindowMatch &match)
{
    std::string text = "window";
    if (!match.caption.empty())
        text += " captioned \"" + Printable(match.caption) + "\"";
    if (!match.class_name.empty())
        text += " of class \"" + Printable(match.class_name) + "\"";
    return text;
}

HWND Process::WaitWindow(const WindowMatch &match, DWORD timeout_ms)
{
    if (!handle_) {
        last_wait_ = WaitResult::ProcessExited;
        RecordFailure("WaitWindow: no child was started");
        return nullptr;
    }
    DWORD start_tick = GetTickCount();
    for (;;) {
        // Look at the windows before asking whether the child ended, so a
        // window shown just before a quick exit is still seen.
        for (HWND hwnd : TopLevelWindows(id_))
            if (WindowFits(hwnd, match)) {
                // A window turns visible a moment before its thread gives a
                // control the focus; a person sees it settled, so wait for
                // that too (briefly: a window with no focusable control
                // never gets there).
                DWORD settle_tick = GetTickCount();
                while (!FocusedControl(hwnd) && RemainingMs(settle_tick, MESSAGE_TIMEOUT_MS) > 0 && Running())
                    Sleep(POLL_INTERVAL_MS);
                last_wait_ = WaitResult::Found;
                return hwnd;
            }
        if (!Running()) {
            DWORD exit_code = 0;
            GetExitCodeProcess(handle_, &exit_code);
            last_wait_ = WaitResult::ProcessExited;
            RecordFailure("WaitWindow: pid " + std::to_string(id_) + " exited with code " +
                          std::to_string(exit_code) + " before showing a " + MatchText(match));
            return nullptr;
        }
        if (RemainingMs(start_tick, timeout_ms) == 0)
            break;
        Sleep(POLL_INTERVAL_MS);
    }
    last_wait_ = WaitResult::TimedOut;
    RecordFailure("WaitWindow: no " + MatchText(match) + " within " +
                  std::to_string(timeout_ms) + " ms; pid " + std::to_string(id_) +
                  " had these windows:\n" + Dump());
    return nullptr;
}

ExitResult Process::WaitExit(DWORD timeout_ms)
{
    if (!handle_) {
        RecordFailure("WaitExit: no child was started");
        return {ExitStatus::NotStarted, 0};
    }
    if (WaitForSingleObject(handle_, timeout_ms) == WAIT_OBJECT_0) {
        DWORD exit_code = 0;
        GetExitCodeProcess(handle_, &exit_code);
        return {ExitStatus::Exited, exit_code};
    }
    RecordFailure("WaitExit: pid " + std::to_string(id_) + " still running after " +
                  std::to_string(timeout_ms) + " ms, killed; it had these windows:\n" +
                  Dump());
    Kill();
    DWORD exit_code = KILLED_EXIT_CODE;
    GetExitCodeProcess(handle_, &exit_code);
    return {ExitStatus::Killed, exit_code};
}

void Process::Kill()
{
    if (!handle_)
        return;
    if (job_)
        TerminateJobObject(job_, KILLED_EXIT_CODE);
    if (Running())
        TerminateProcess(handle_, KILLED_EXIT_CODE);
    WaitForSingleObject(handle_, DEFAULT_TIMEOUT_MS);
}

Process::~Process()
{
    if (!handle_)
        return;
    Kill();
    CloseHandle(handle_);
    if (job_)
        CloseHandle(job_);
}

}  // namespace uiauto
