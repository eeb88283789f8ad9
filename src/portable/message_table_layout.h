// Sizes of the message table and of the dialog templates' work blocks, which
// the build-time generator (tools/resgen) and the stub must agree on: resgen
// refuses texts and templates that would not fit what the stub allocates.
#pragma once

#include <cstddef>

constexpr int MESSAGE_STRING_COUNT = 64;           // StringIds 0 to 63
constexpr size_t MESSAGE_TABLE_BYTES = 6243;        // the stub's MessageTable block
constexpr size_t MESSAGE_TABLE_GUARD_BYTES = 2;     // guard bytes at the block's end
// Texts and the main dialog's template unpack into the bytes before the guards.
constexpr size_t MESSAGE_TABLE_CONTENT_MAX_BYTES = MESSAGE_TABLE_BYTES - MESSAGE_TABLE_GUARD_BYTES;
// The main dialog's template is copied out of the table into an aligned
// block of this size; the copy reads this many bytes from the template's
// start, so the template must fit and the copy must end inside the table.
constexpr size_t MAIN_DIALOG_COPY_BYTES = 1024;
// The password dialog's template unpacks into a block of its own.
constexpr size_t PASSWORD_TEMPLATE_MAX_BYTES = 600;
static_assert(PASSWORD_TEMPLATE_MAX_BYTES <= MAIN_DIALOG_COPY_BYTES, "both templates fit a dialog copy");
