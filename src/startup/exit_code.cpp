#include "startup/exit_code.h"

#include "fixed_texts.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"

static DWORD Outcome;      // the first outcome noted
static bool OutcomeNoted;

void NoteOutcome(DWORD code)
{
    if (OutcomeNoted)
        return;
    Outcome = code;
    OutcomeNoted = true;
}

// The failure a message reports, by StringId; 0 for texts that report none
// (questions, information, the About box).
static DWORD OutcomeOfMessage(int id)
{
    switch (id) {
    case MSG_INCOMPLETE:
    case MSG_UNSUPPORTED_METHOD:
    case MSG_BAD_CRC:
    case MSG_BAD_ZIP_HEADER:
    case MSG_READ_ERROR:
    case MSG_IO_ERROR:
    case MSG_DAMAGED_ARCHIVE:
    case MSG_NAME_TOO_LONG:
        return EXIT_FILE_DAMAGED;
    case MSG_NO_TEMP_FOLDER:
    case MSG_CHANGE_FOLDER_ERROR:
    case MSG_CANNOT_CREATE_FILE:
    case MSG_CANNOT_CREATE_FOLDER:
    case MSG_WRITE_ERROR:
    case MSG_INVALID_DRIVE:
        return EXIT_EXTRACTION_FAILED;
    case MSG_NO_PASSWORD:
    case MSG_WRONG_PASSWORD:
        return EXIT_PASSWORD;
    case MSG_RUN_ERROR:
        return EXIT_COMMAND_NOT_STARTED;
    case MSG_NO_COMMAND:
        return EXIT_NO_COMMAND;
    case MSG_NEEDS_WINDOWS_95:
        return EXIT_FATAL;
    default:
        return 0;
    }
}

void NoteCommandExitCode(HANDLE process)
{
    DWORD code;
    if (GetExitCodeProcess(process, &code))
        NoteOutcome(code);
}

void NoteMessageOutcome(int id, const char *text, UINT style)
{
    DWORD code = id >= 0 ? OutcomeOfMessage(id) : 0;
    if (lstrcmpA(text, TEXT_HEADER_CORRUPT) == 0)
        code = EXIT_FILE_DAMAGED;
    else if (!code && (style & MB_ICONMASK) == MB_ICONERROR)
        code = EXIT_FATAL;  // an error of the program's own data: no memory
    if (code)
        NoteOutcome(code);
}

DWORD ProcessExitCode(DWORD plain)
{
    if (!(ParameterFlags() & FLAG_EXIT_CODES))
        return plain;
    if (plain != 0)
        return EXIT_FATAL;
    return OutcomeNoted ? Outcome : 0;
}
