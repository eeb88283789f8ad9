// Keywords are compared over their own length only, so a word that begins
// with a keyword counts as that keyword ("autostart" acts as AUTO).
#include "startup/command_line.h"

#include <windows.h>

#include "startup/byte_helpers.h"
#include "startup/message_table.h"
#include "startup/path_helpers.h"
#include "startup/run_state.h"

bool HasInfoOption(const char *command_line)
{
    static const char option[] = "-info";
    const size_t option_bytes = sizeof option - 1;
    for (const char *p = command_line; *p; p++)
        if (*p == '-' && !CompareBytes(p, option, option_bytes))
            return true;
    return false;
}

void ParseCommandLine(char *command_line)
{
    char *p = command_line;
    while (*p && *p != '-' && *p != '/')
        p = CharNextA(p);
    if (!*p)
        return;
    char *word = p + 1;

    const char *wait = Message(MSG_KEYWORD_WAIT);
    const char *noauto = Message(MSG_KEYWORD_NOAUTO);
    const char *automatic = Message(MSG_KEYWORD_AUTO);
    int shortest = lstrlenA(wait);
    if (lstrlenA(noauto) < shortest)
        shortest = lstrlenA(noauto);
    if (lstrlenA(automatic) < shortest)
        shortest = lstrlenA(automatic);
    if (lstrlenA(word) < shortest)
        return;

    char *end = ScanToChar(word, ' ');
    CharUpperBuffA(word, static_cast<DWORD>(end - word));

    // CompareBytes stops at the first difference, so a word shorter than the
    // keyword ends the comparison at its terminator and is never read past.
    auto begins_with = [word](const char *keyword) {
        return !CompareBytes(word, keyword, lstrlenA(keyword));
    };
    if (begins_with(wait))
        WaitFlag = 1;
    else if (begins_with(noauto))
        AutoFlag = 0;
    else if (begins_with(automatic))
        AutoFlag = 1;
}
