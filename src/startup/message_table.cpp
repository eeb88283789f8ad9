// The table is unpacked into a scratch block whose last two bytes are guard
// bytes, then converted and copied into the long-lived MessageTable block.
// The decoder is bounded to the bytes before the guards as well: the guards
// remain as a second line of defence.
#include "startup/message_table.h"

#include <windows.h>

#include "extract/inflate/inflate.h"
#include "portable/message_table_layout.h"
#include "startup/error_abort.h"
#include "startup/message_blobs.h"
#include "startup/run_state.h"

constexpr uint8_t GUARD_FIRST = 0xDE;
constexpr uint8_t GUARD_SECOND = 0xAD;

void UnpackMessageTable()
{
    const uint32_t table_bytes = BufferSizes[SIZE_MESSAGE_TABLE];
    const uint32_t content_max_bytes = table_bytes - MESSAGE_TABLE_GUARD_BYTES;
    uint8_t *scratch = static_cast<uint8_t *>(LocalAlloc(LMEM_ZEROINIT, table_bytes));
    if (!scratch)
        HeaderCorruptAbort();
    scratch[content_max_bytes] = GUARD_FIRST;
    scratch[content_max_bytes + 1] = GUARD_SECOND;

    // Like the guard bytes, only an overrun counts here: the table is our own
    // data, proven by the self-check.
    BlobResult result = DecodeBlob(MessageBlob, MessageBlobBytes, scratch, content_max_bytes);
    if (result == BlobResult::Overrun || scratch[content_max_bytes] != GUARD_FIRST ||
        scratch[content_max_bytes + 1] != GUARD_SECOND)
        HeaderCorruptAbort();

    char *text = reinterpret_cast<char *>(scratch);
    OemToCharBuffA(text, text, MessageOffsets[MAIN_DIALOG_ENTRY]);

    MessageTable = AllocateLockedBlock(table_bytes);
    if (!MessageTable)
        HeaderCorruptAbort();
    CopyMemory(MessageTable, scratch, table_bytes);
    LocalFree(scratch);
}

const char *Message(StringId id)
{
    return MessageTable + MessageOffsets[id];
}

int StringIdOfText(const char *text)
{
    for (int id = 0; MessageTable && id < MESSAGE_COUNT; id++)
        if (text == MessageTable + MessageOffsets[id])
            return id;
    return -1;
}

const char *MainDialogTemplate()
{
    return MessageTable + MessageOffsets[MAIN_DIALOG_ENTRY];
}
