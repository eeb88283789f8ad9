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
};
