// The one check of member names, shared by the build (--from-dir,
// --from-zip) and verify: a name the stub refuses, or one that Windows
// cannot create as it stands, makes an installer that cannot install, so
// the build refuses it and verify reports it. At least as strict as the
// stub's own check (src/archive/output_path.cpp), on the same stored bytes,
// walked character by character in the code page as CharNextA walks them:
//
//   - empty; a NUL byte (the stub would see the name cut there); a leading
//     separator (absolute; zip names are relative) or a server path;
//   - a ':' (a drive or an alternate data stream), a control character
//     (0x01 to 0x1F), or one of < > " | ? *;
//   - a ".." part (it climbs out of the folder), an empty part (two
//     separators in a row), a part that ends in a dot or a blank ("trail.",
//     "...", "a "), which Windows drops, making another name than the one
//     stored;
//   - a part that Windows takes for a device: CON, PRN, AUX, NUL, COM0 to
//     COM9, LPT0 to LPT9 (also with a superscript 1, 2 or 3), CONIN$ and
//     CONOUT$, in any case, with any extension and trailing blanks ("nul",
//     "Com1.txt", "aux .log");
//   - a part over 255 characters, the longest name a Windows folder holds;
//   - a lead byte of a double-byte code page at the very end, or a
//     two-byte character at the end whose trail byte is a backslash (a
//     reader that tests the last byte sees a folder entry).
//
// Both separators separate ('/' and '\'), as they do for the stub. Across
// members, names that land on one file when case is ignored ("Readme.txt"
// and "README.TXT": the second would replace the first) and a file where
// another member needs a folder ("docs" and "docs/a.txt") are refused too.
#pragma once

#include "ansi_codepage.h"

#include <map>
#include <set>
#include <string>

// Why the stored name cannot be extracted as it stands, or "" when it can.
std::string MemberNameFault(const std::string &name, const AnsiCodepage &codepage);

// Names met so far, folded as Windows compares them.
class NameClashes {
public:
    explicit NameClashes(const AnsiCodepage &codepage) : codepage_(codepage) {}
    // Adds a stored name; returns why it clashes with one added before, or "".
    std::string Add(const std::string &name);

private:
    std::string Folded(const std::string &path) const;
    AnsiCodepage codepage_;
    std::map<std::string, std::string> files_;    // folded path -> stored name
    std::map<std::string, std::string> folders_;  // folded folder path -> a stored name that needs it
};
