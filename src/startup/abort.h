// Non-local exit from an activity that met an error: AbortRun jumps back to
// the innermost saved AbortPoint with a code (2 after an error message, 1 when
// the user cancelled at the overwrite question).
//
// The jump uses GCC's __builtin_setjmp/__builtin_longjmp: they restore the
// frame and stack pointers and nothing else, so they never walk or unwind the
// SEH chain. That is only sound when no frame of Windows' own lies between the
// save and the jump, which is why:
//   - start-up saves a point in WinMain and keeps it only until the main
//     dialog starts (the dialog's handlers run inside user32's frames);
//   - while the dialog runs and no extraction run is active, AbortContext is
//     null and AbortRun ends the process with exit code 0, exactly what
//     WinMain's return would have done;
//   - an extraction run saves its own point, and code under it never aborts
//     from inside a message handler: handlers only set flags, and the polling
//     code aborts after DispatchMessage has returned.
// Nothing that needs releasing may live in a destructor across an abort: the
// run-wide records that the landing point closes own such things.
#pragma once

#include <cstdint>

struct AbortPoint {
    void *jump[5];  // __builtin_setjmp's buffer: frame, resume address, stack
};

extern AbortPoint *AbortContext;  // innermost saved point, or nullptr
extern int AbortCode;             // code of the last AbortRun

// Saves point and makes it the innermost one. Evaluates to 0 when saved, and
// to non-zero when a later AbortRun jumped back here (AbortCode holds the
// code). A macro, because the save must happen in the caller's own frame.
#define SAVE_ABORT_CONTEXT(point) \
    (AbortContext = &(point), __builtin_setjmp((point).jump))

// Jumps to AbortContext with code (non-zero). Without a saved point it ends
// the process with exit code 0 (with FLAG_EXIT_CODES, the run's). Does not
// return.
[[noreturn]] void AbortRun(int code);
