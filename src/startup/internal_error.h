// Internal errors: cases a correct build never meets, in practice a text that
// does not fit its buffer. Fatal: the program names the module and line,
// and the process ends with exit code 1.
#pragma once

constexpr const char PROGRAM_CAPTION[] = "Talvok Self-Extractor";

// Shows "Talvok internal error in file <source> line <line>" and ends the
// process with exit code 1. A second internal error raised while the first is
// being handled ends the process at once. Does not return.
[[noreturn]] void InternalError(const char *source, int line);
