// The numbered temporary folder each installation extracts into.
#pragma once

#include <cstddef>

// Makes sure path ends in a separator ("" becomes "\", "C:" becomes "C:\");
// a path that does not fit size_bytes is an internal error.
void AddTrailingSeparator(char *path, size_t size_bytes);

// Finds the base folder (TMP, TEMP, then the Windows folder's TEMP) into out;
// nonzero when one was found.
int TempFolderBase(char *out, size_t size_bytes);

// Creates base\TVSE<n>.TMP for the first free n of 0 to 99 into out; nonzero
// when one was created.
int CreateNumberedTempFolder(const char *base, char *out, size_t size_bytes);

// TempFolderBase, then CreateNumberedTempFolder; nonzero on success.
int CreateTempFolder(char *out, size_t size_bytes);
