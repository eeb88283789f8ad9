// The code pages an installer's texts and names may be in: the ANSI code
// pages of Windows, the only ones the stub can meet, since it uses header
// texts and member names as bytes of the system's ANSI code page and walks
// them with CharNextA. Single-byte: 874 (Thai) and 1250 to 1258; double-byte
// (a lead byte, then a trail byte that may be any of 0x40 to 0xFE, a
// backslash or a '|' among them): 932, 936, 949 and 950. UTF-8 (65001),
// UTF-16, the OEM code pages (437, 850...) and the ISO ones are never a
// system's ANSI code page and are refused.
//
// Named "CPnnn" or "WINDOWS-nnn" (any case), as iconv and --help name them;
// "raw" passes bytes unchanged and is read as single-byte.
#pragma once

#include <string>

struct AnsiCodepage {
    unsigned number;  // 0 for "raw"
    bool double_byte;
    // A byte that starts a two-byte character (never true single-byte).
    bool IsLeadByte(unsigned char byte) const;
    // "CP1252", ... or "raw", as text_encoding.h takes it.
    std::string Name() const { return number ? "CP" + std::to_string(number) : "raw"; }
};

// The code page of a name, or false when it names none of the above; why
// then says so in a sentence that lists what is taken.
[[nodiscard]] bool FindAnsiCodepage(const std::string &name, AnsiCodepage &codepage, std::string &why);

// The same, refusing (BuildError) a name that is none, as "--codepage: ...".
AnsiCodepage AnsiCodepageOf(const std::string &name);
