// The fixed buffers in which the stub formats a message around a text the
// author chose, and which message goes in each. A text the builder accepts
// must fit every message it goes into, or the stub stops with an internal
// error when it shows it, so the builder computes its limits from these
// sizes and the messages' own formats (resources/messages.txt) rather than
// from a second copy of either.
//
// Portable: shared by the stub and the builder, never copied.
#pragma once

#include <cstddef>

// StringId 17 with RunCommand: Cancel pressed while the command runs.
constexpr size_t STILL_RUNNING_BYTES = 200;
// StringId 50 with AboutText and StringId 54: the About box.
constexpr size_t ABOUT_TEXT_BYTES = 512;
// RunCommand, a blank and RunParameters: the command line; also StringId 23
// with the shell's result and RunCommand when the shell launch fails.
constexpr size_t COMMAND_LINE_BYTES = 739;
