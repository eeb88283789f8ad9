// The numbered temporary folder each installation extracts into, and the
// path operation that the dialog and the clean-up share. Paths are ANSI
// strings in 261-byte buffers; a path that does not fit its buffer is an
// internal error, never a shortened path. Nothing here shows a message: the
// caller reports a folder that could not be made.
#pragma once

#include <cstddef>

// Makes sure path ends in a separator ("" becomes "\", "C:" becomes "C:\");
// a path already ending in '\' or '/' (its last character, stepped to with
// CharNextA) is left alone. A path that does not fit size_bytes is an
// internal error.
void AddTrailingSeparator(char *path, size_t size_bytes);

// Finds the base folder into out: the value of TMP, else of TEMP, else the
// Windows folder's TEMP (created when missing; a file of that name makes this
// source fail). A variable counts as absent when it is empty, does not fit 261
// bytes, or names a path the ANSI code page cannot carry and that has no short
// form it can. A relative value is made absolute against the current
// directory (a full form that does not fit counts as absent). One trailing
// separator is stripped unless it is the root's.
// Nonzero when a base was found; out is unchanged otherwise.
int TempFolderBase(char *out, size_t size_bytes);

// Creates base\TVSE<n>.TMP for the first n of 0 to 99 that CreateDirectoryA
// accepts (leftovers of earlier runs are stepped over) and puts its path in
// out; nonzero when one was created, zero for an empty base or when all
// hundred fail.
int CreateNumberedTempFolder(const char *base, char *out, size_t size_bytes);

// TempFolderBase, then CreateNumberedTempFolder; nonzero on success.
int CreateTempFolder(char *out, size_t size_bytes);
