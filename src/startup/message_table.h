// The message table: every text the program shows, unpacked once at start-up
// from the compressed blob into MessageTable and converted from code page 850
// to the ANSI code page. Texts are named by StringId.
#pragma once

enum StringId {
    MSG_INCOMPLETE = 0,
    MSG_INSERT_DISK = 1,
    MSG_INSERT_LAST_DISK = 2,
    MSG_DISK_LABEL_WRONG = 4,
    MSG_NO_PASSWORD = 5,
    MSG_WRONG_PASSWORD = 6,
    MSG_KEYWORD_NOAUTO = 7,
    MSG_INSTALL = 8,
    MSG_KEYWORD_WAIT = 9,
    MSG_DONE_BUTTON = 10,
    MSG_CONFIRM_DONE = 11,
    MSG_CONFIRM_CANCEL = 12,
    MSG_KEYWORD_AUTO = 13,
    MSG_NEEDS_WINDOWS_95 = 14,
    MSG_NO_TEMP_FOLDER = 15,
    MSG_STILL_RUNNING = 17,
    MSG_NO_COMMAND = 18,
    MSG_DELETING_TEMP = 19,
    MSG_CANCEL_QUESTION = 20,
    MSG_CANCELLED = 22,
    MSG_RUN_ERROR = 23,
    MSG_CHANGE_FOLDER_ERROR = 24,
    MSG_OVERWRITE_QUESTION = 25,
    MSG_CANNOT_CREATE_FILE = 38,
    MSG_UNSUPPORTED_METHOD = 39,
    MSG_BAD_CRC = 40,
    MSG_BAD_ZIP_HEADER = 41,
    MSG_CANNOT_CREATE_FOLDER = 42,
    MSG_UNZIPPING = 44,
    MSG_WRITE_ERROR = 45,
    MSG_READ_ERROR = 46,
    MSG_IO_ERROR = 47,
    MSG_DAMAGED_ARCHIVE = 49,
    MSG_ABOUT_JOIN = 50,
    MSG_PROGRAM_ABOUT = 54,
    MSG_INVALID_DRIVE = 56,
    MSG_TEMP_VARIABLE = 60,
    MSG_NAME_TOO_LONG = 61,
};

// Unpacks the table into MessageTable behind two guard bytes; a table that
// overruns them, or memory that cannot be had, ends in the header-corrupt
// abort.
void UnpackMessageTable();

// The text of id in the ANSI code page.
const char *Message(StringId id);

// The StringId whose text lies at text in the table, or -1 when text is no
// text of the table (a formatted copy, a text of the program's own data).
int StringIdOfText(const char *text);

// The main dialog's template inside MessageTable (not 4-aligned: copy it
// into a block of its own before use).
const char *MainDialogTemplate();
