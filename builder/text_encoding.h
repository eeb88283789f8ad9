// Turning what the user typed into the bytes the stub uses. The stub takes
// header texts, the wait name and member names as bytes of the Windows ANSI
// code page, without conversion; the builder runs on Linux, where arguments
// and file names are UTF-8. So every text is converted from UTF-8 to one
// target code page (CP1252 unless --codepage says otherwise) with iconv, and
// a character the code page cannot hold is refused, never replaced. The code
// page "raw" passes the bytes through as given (for other encodings, or
// for tests that need particular bytes).
#pragma once

#include <string>

constexpr const char *DEFAULT_CODEPAGE = "CP1252";
constexpr const char *RAW_CODEPAGE = "raw";

// Converts text (UTF-8) to codepage; what names the text in a refusal.
std::string ToAnsi(const std::string &text, const std::string &codepage, const std::string &what);

// Refuses a code page that is no ANSI code page of Windows (ansi_codepage.h)
// or that iconv does not know, so that the mistake shows up before any work
// is done.
void CheckCodepage(const std::string &codepage);

// The other way, for showing what an installer holds: ANSI bytes of
// codepage as UTF-8. Never refuses: a byte the code page leaves undefined
// (or any byte that is not ASCII, with "raw") becomes U+FFFD.
std::string FromAnsi(const std::string &bytes, const std::string &codepage);
