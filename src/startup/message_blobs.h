// The compressed message table and password dialog, made at build time from
// resources/ by tools/resgen. The message blob unpacks to the 64 texts (code
// page 850, each with its NUL) followed by the main dialog's template;
// MessageOffsets[StringId] is a text's offset in that unpacked form and
// MessageOffsets[64] the template's (and so the length of the text part).
#pragma once

#include <cstdint>

#include "portable/message_table_layout.h"

constexpr int MESSAGE_COUNT = MESSAGE_STRING_COUNT;
constexpr int MAIN_DIALOG_ENTRY = MESSAGE_STRING_COUNT;

extern const uint8_t MessageBlob[];
extern const uint32_t MessageBlobBytes;
extern const uint32_t MessageOffsets[MESSAGE_COUNT + 1];
extern const uint8_t PasswordDialogBlob[];
extern const uint32_t PasswordDialogBlobBytes;
