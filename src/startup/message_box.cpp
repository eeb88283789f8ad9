#include "startup/message_box.h"

#include "fixed_texts.h"
#include "startup/exit_code.h"
#include "startup/message_log.h"
#include "startup/message_table.h"

int ShowMessage(HWND owner, const char *text, UINT style, const char *source)
{
    const int id = StringIdOfText(source ? source : text);
    NoteMessageOutcome(id, text, style);
    if (MessagesGoToLog())
        return LogMessage(id, text, style);
    return MessageBoxA(owner, text, TEXT_CAPTION, style);
}
