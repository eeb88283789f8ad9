// The process exit code. Without FLAG_EXIT_CODES the program exits with 0 on
// every path and with 1 after an internal error. With it, the exit code says
// how the run ended: the setup command's own code when the command ran to its
// end, otherwise one of the codes below. The first outcome noted in a run is
// the one reported (the cause, not what followed from it).
//
// Our own codes carry bit 29, which Windows leaves to applications (no system
// error code, no Windows Installer code and no HRESULT failure has it), so
// they meet none of the codes setup programs and deployment tools give
// meaning to (0, 1, 1618, 1641, 1707, 3010...). The user's cancel and a fatal
// error take the Windows Installer's own codes.
#pragma once

#include <windows.h>

constexpr DWORD EXIT_USER_CANCELLED = 1602;     // ERROR_INSTALL_USEREXIT
constexpr DWORD EXIT_FATAL = 1603;              // ERROR_INSTALL_FAILURE: an internal error, no memory
constexpr DWORD EXIT_OWN_CODES = 0x20000000;    // bit 29: application-defined
constexpr DWORD EXIT_FILE_DAMAGED = EXIT_OWN_CODES + 1;       // the installer's own file or its archive
constexpr DWORD EXIT_EXTRACTION_FAILED = EXIT_OWN_CODES + 2;  // a folder or file could not be made or written
constexpr DWORD EXIT_PASSWORD = EXIT_OWN_CODES + 3;           // no password, or a wrong one
constexpr DWORD EXIT_COMMAND_NOT_STARTED = EXIT_OWN_CODES + 4;
constexpr DWORD EXIT_NO_COMMAND = EXIT_OWN_CODES + 5;
constexpr DWORD EXIT_DISK_MISSING = EXIT_OWN_CODES + 6;       // a disk prompt answered in a run without boxes

// Notes how the run ended, unless an outcome was noted before.
void NoteOutcome(DWORD code);

// Notes what a shown message means for the run (StringId id, or -1 for a
// text of the program's own data); messages that report no failure note
// nothing.
void NoteMessageOutcome(int id, const char *text, UINT style);

// Notes the exit code of the command's process, which has ended.
void NoteCommandExitCode(HANDLE process);

// The exit code for a program that, without FLAG_EXIT_CODES, would exit with
// plain (0, or 1 after an internal error).
DWORD ProcessExitCode(DWORD plain);
