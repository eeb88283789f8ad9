// The user's command line: only the first switch counts, and only three
// keywords (from the message table) change anything.
#pragma once

// Finds the first "-" or "/", upper-cases the word after it in place, and
// acts on the first keyword it begins with: WAIT sets WaitFlag, NOAUTO clears
// AutoFlag, AUTO sets it. A word shorter than the shortest keyword, or one
// that begins with none, changes nothing.
void ParseCommandLine(char *command_line);

// True when the five bytes "-info" stand anywhere in command_line (exact,
// case-sensitive; inside a longer word too).
bool HasInfoOption(const char *command_line);
