// Deletion at restart on systems without MoveFileExA's delayed delete
// (Windows 95 and 98): a "NUL=<path>" line in the [Rename] section of
// WinInit.Ini in the Windows folder, which those systems carry out at start-up.
#pragma once

// Makes "NUL=<path>\r\n" the first entry of the first "[Rename]\r\n" section
// (found by exact, case-sensitive match) of the file ini_path, or appends that
// header and the line at the end when there is none. An absent file is
// created; a file that cannot be opened or mapped keeps its content and
// length. The file is opened without sharing for the whole edit. A path that
// makes the line longer than 1024 bytes is an internal error.
void AddRenameEntry(const char *ini_path, const char *path);
