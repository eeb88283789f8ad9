// The log of a run without a person (FLAG_NO_ERROR_BOXES with
// FLAG_UNATTENDED): every message the program would show is written there,
// with its StringId, instead of waiting in a box for a click nobody makes.
//
// The log is the file named by "-log PATH" on the command line (the path
// quoted when it holds blanks), else TVSFX<process id>.LOG in the folder the
// temporary folders are made in, so that runs side by side never share one.
// Lines are appended; a log that cannot be written loses its lines and the
// run goes on.
#pragma once

#include <windows.h>

// True when this run writes its messages to the log instead of showing them.
bool MessagesGoToLog();

// Takes the "-log PATH" argument from the command line, when there is one and
// the build has one of the deployment options. Called once at start-up.
void ReadLogArgument(const char *command_line);

// Writes "StringId N: text" (N "-" for a text that is not in the table) and
// returns the answer a box of style would get from nobody: No to a question,
// Cancel or Abort to a prompt, OK to a notice.
int LogMessage(int id, const char *text, UINT style);

// Writes a note of the program's own to the log, when a log is kept.
void LogNote(const char *text);
