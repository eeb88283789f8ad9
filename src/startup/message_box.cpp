#include "startup/message_box.h"

#include "fixed_texts.h"
#include "startup/exit_code.h"
#include "startup/message_table.h"

int ShowMessage(HWND owner, const char *text, UINT style, const char *source)
{
    NoteMessageOutcome(StringIdOfText(source ? source : text), text, style);
    return MessageBoxA(owner, text, TEXT_CAPTION, style);
}
