// The places passed to InternalError("sfxhead", line): each number is what a
// user sees in the internal-error box and in TVSFX32.RPT and reports to us,
// so every one is named here once, beside the check it stands for. Each is a
// text that did not fit its fixed buffer (texts are never truncated).
#pragma once

enum InternalErrorPlace {
    // ReportReadError: the read-error message.
    PLACE_READ_ERROR_CODE = 2369,        // " <code>" into its small buffer
    PLACE_READ_ERROR_TEXT = 2371,        // StringId 46 with OwnPath into FormatBuffer
    PLACE_READ_ERROR_APPEND = 2372,      // the code appended to FormatBuffer
    PLACE_READ_ERROR_FULL = 2373,        // the result fills FormatBuffer to its last byte

    // MakeLongName: the long form of the program's own name into OwnPath.
    PLACE_LONG_NAME = 2616,

    // ReadHeader: each SfxHeader field into its run-wide buffer.
    PLACE_HEADER_ABOUT_TEXT = 3117,
    PLACE_HEADER_RUN_COMMAND = 3119,
    PLACE_HEADER_RUN_PARAMETERS = 3121,
    PLACE_HEADER_RESERVED = 3123,
    PLACE_HEADER_DIALOG_TEXT = 3125,
    PLACE_HEADER_TITLE = 3131,
    PLACE_HEADER_INTRO_TEXT = 3141,
    PLACE_HEADER_INFO_TEXT = 3148,
    // With flags bit 21: " -argv0 " and the program's path after RunParameters.
    PLACE_ARGV0_SWITCH = 3164,
    PLACE_ARGV0_PATH = 3165,

    // The main dialog's caption, "%s - %s" of Title and the program's name.
    PLACE_CAPTION = 4100,

    // Member extraction. A pair names the formatting failure, then a text
    // that fills the whole buffer.
    PLACE_OUTPUT_PATH = 993,             // the prepared path into OutputPath
    PLACE_CREATE_ERROR_TEXT = 1002,      // StringId 38 with OutputPath
    PLACE_CREATE_ERROR_FULL = 1003,
    PLACE_STATUS_LINE = 1578,            // StringId 44 with the file's name
    PLACE_WRITE_ERROR_TEXT = 2352,       // StringId 45 with OutputPath
    PLACE_WRITE_ERROR_FULL = 2353,
    PLACE_CRC_ERROR_TEXT = 4095,         // StringId 40 with OutputPath and both CRCs
    PLACE_CRC_ERROR_FULL = 4096,

    // Member names and output paths.
    PLACE_NAME_TEXT = 1050,              // StringId 38, 42 or 61 with a stored name
    PLACE_NAME_FULL = 1051,
    PLACE_TARGET_FOLDER_COPY = 1140,     // TargetFolder into the 517-byte working path
    PLACE_FOLDER_ERROR_TEXT = 1190,      // StringId 42 or 56 with a path or a drive
    PLACE_FOLDER_ERROR_FULL = 1191,
    PLACE_OVERWRITE_QUESTION = 1230,     // StringId 25 with OutputPath into its 320 bytes

    // Disk volumes of a spanned archive.
    PLACE_DISK_ROOT = 2401,              // the drive root and its backslash into 8 bytes
    PLACE_DISK_FILE_NAME = 2402,         // OwnPath with ".EXE" or ".ZIP" into 261 bytes
    PLACE_DISK_PROMPT_TEXT = 2403,       // StringId 1, 2 or 4 into FormatBuffer
    PLACE_DISK_PROMPT_FULL = 2404,

    // Installer mode: texts built for the command and the dialog's questions.
    PLACE_COMMAND_LINE = 5201,           // the command and its parameters into 739 bytes
    PLACE_LAUNCH_ERROR = 5202,           // StringId 23 with the shell's result and the command
    PLACE_WAIT_NAME = 5203,              // the wait name and ".exe" into 260 bytes
    PLACE_STILL_RUNNING = 5204,          // StringId 17 with the command into 200 bytes
    PLACE_ABOUT_TEXT = 5205,             // the about box's text into 512 bytes
    PLACE_CLEAN_UP_PATH = 5206,          // the temporary folder and ".." into 500 bytes

    // The temporary folder: paths in their 261-byte buffers.
    PLACE_TRAILING_SEPARATOR = 5101,     // AddTrailingSeparator: the "\\" appended
    PLACE_WINDOWS_TEMP = 5102,           // the Windows folder's TEMP
    PLACE_TEMP_BASE = 5103,              // the base folder into the caller's buffer
    PLACE_NUMBERED_FOLDER = 5104,        // base\TVSE<n>.TMP, and its copy to the caller

    // The clean-up: the WinInit.Ini path (261) and its line (1024). Paths in
    // the tree that do not fit are left, not an error.
    PLACE_WININIT_PATH = 5303,           // <Windows folder>\WinInit.Ini
    PLACE_WININIT_LINE = 5304,           // NUL=<path>, CR LF
};
