// The fixed buffers in which the stub formats a message around a text the
// author chose, and which message goes in each. A text the builder accepts
// must fit every message it goes into, or the stub stops with an internal
// error when it shows it, so the builder computes its limits from these
// sizes and the messages' own formats (resources/LANGUAGE/messages.txt) rather than
// from a second copy of either.
//
// Portable: shared by the stub and the builder, never copied.
#pragma once

#include <cstddef>

// StringId 17 with RunCommand: Cancel pressed while the command runs.
constexpr size_t STILL_RUNNING_BYTES = 200;
// StringId 50 with AboutText and StringId 54: the About box.
constexpr size_t ABOUT_TEXT_BYTES = 512;
// StringId 44 with a member's file name: the status line during extraction.
constexpr size_t STATUS_LINE_BYTES = 290;
// StringId 44 in the meter, cut to METER_TEXT_BYTES - 1 (it is formatted
// into twice that, so a name of a path's length always fits first).
constexpr int METER_TEXT_BYTES = 260;
// StringId 25 with the output path: the overwrite question.
constexpr size_t OVERWRITE_QUESTION_BYTES = 320;
// FormatBuffer: every error with an argument (ErrorAbortFormatted, the read
// error with its code, the disk prompts); a text that fills it to its last
// byte counts as not fitting.
constexpr size_t FORMAT_BUFFER_BYTES = 500;
// RunCommand, a blank and RunParameters: the command line; also StringId 23
// with the shell's result and RunCommand when the shell launch fails.
constexpr size_t COMMAND_LINE_BYTES = 739;
