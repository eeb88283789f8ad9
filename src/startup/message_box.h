// Every box the program shows goes through ShowMessage, so that a run can
// account for what it told the user (the exit code) and, in a run without a
// person, write it down instead of waiting for a click.
#pragma once

#include <windows.h>

// Shows text in a message box with the caption "Talvok Self-Extractor" and
// returns the button pressed, as MessageBoxA does. source is the table text
// that text was formatted from (nullptr: text itself), which names the
// message's StringId. In a run without boxes the message goes to the log
// and the answer is the safe one (message_log.h).
int ShowMessage(HWND owner, const char *text, UINT style, const char *source = nullptr);
