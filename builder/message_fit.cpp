// The author's texts measured in the stub's messages (see message_fit.h).
#include "message_fit.h"

#include "portable/message_buffers.h"
#include "portable/message_table_layout.h"
#include "startup/byte_helpers.h"

#include <climits>
#include <cstring>
#include <vector>

static_assert(MESSAGE_STRING_COUNT == 64, "a language's texts are one per StringId");

namespace {

constexpr int MSG_STILL_RUNNING = 17;
constexpr int MSG_RUN_ERROR = 23;
constexpr int MSG_ABOUT_JOIN = 50;
constexpr int MSG_PROGRAM_ABOUT = 54;
// StringId 23's number is the shell's result; no int is wider than this.
constexpr int WIDEST_INT = INT_MIN;

// One message the stub formats with an author's text, formatted here the
// way the stub does. format returns 1 when the result does not fit.
struct MessageUse {
    SfxHeaderField field;  // the text it carries (the command line also carries the parameters)
    const char *where;     // for the refusal
    size_t buffer_bytes;
    int (*format)(char *buffer, size_t buffer_bytes, const HeaderTexts &texts, const char *const *messages);
};

const MessageUse MessageUses[] = {
    {HEADER_ABOUT_TEXT, "the About box (StringId 50, with the program's own StringId 54)", ABOUT_TEXT_BYTES,
     [](char *buffer, size_t size, const HeaderTexts &texts, const char *const *messages) -> int {
         return FormatString(buffer, size, messages[MSG_ABOUT_JOIN], texts.fields[HEADER_ABOUT_TEXT].c_str(),
                             messages[MSG_PROGRAM_ABOUT]);
     }},
    {HEADER_RUN_COMMAND, "the question when Cancel is pressed while it runs (StringId 17)", STILL_RUNNING_BYTES,
     [](char *buffer, size_t size, const HeaderTexts &texts, const char *const *messages) -> int {
         return FormatString(buffer, size, messages[MSG_STILL_RUNNING], texts.fields[HEADER_RUN_COMMAND].c_str());
     }},
    {HEADER_RUN_COMMAND, "the message when the shell cannot start it (StringId 23)", COMMAND_LINE_BYTES,
     [](char *buffer, size_t size, const HeaderTexts &texts, const char *const *messages) -> int {
         return FormatString(buffer, size, messages[MSG_RUN_ERROR], WIDEST_INT,
                             texts.fields[HEADER_RUN_COMMAND].c_str());
     }},
    {HEADER_RUN_COMMAND, "the command line (the command, a blank and the parameters)", COMMAND_LINE_BYTES,
     [](char *buffer, size_t size, const HeaderTexts &texts, const char *const *messages) -> int {
         (void)messages;
         const std::string &parameters = texts.fields[HEADER_RUN_PARAMETERS];
         return CopyString(buffer, size, texts.fields[HEADER_RUN_COMMAND].c_str()) ||
                (!parameters.empty() && (AppendString(buffer, size, " ") || AppendString(buffer, size, parameters.c_str())));
     }},
};

// The bytes a use needs for these texts, NUL included (the buffer is grown
// until the message fits: the formatter says only whether it does).
size_t NeededBytes(const MessageUse &use, const HeaderTexts &texts, const char *const *messages)
{
    size_t size = use.buffer_bytes;
    for (;; size *= 2) {
        std::vector<char> buffer(size);
        if (use.format(buffer.data(), size, texts, messages) == 0)
            return std::strlen(buffer.data()) + 1;
    }
}

// The room a use leaves for its text: the buffer less what the message
// needs around an empty text.
size_t RoomFor(const MessageUse &use, const HeaderTexts &texts, const char *const *messages)
{
    HeaderTexts without = texts;
    without.fields[use.field].clear();
    const size_t around = NeededBytes(use, without, messages);
    return use.buffer_bytes > around ? use.buffer_bytes - around : 0;
}

}  // namespace

std::string MessageFitFault(const HeaderTexts &texts, const char *const *messages)
{
    for (const MessageUse &use : MessageUses) {
        const std::string &text = texts.fields[use.field];
        if (text.empty())
            continue;  // the stub shows none of these for an empty text
        if (NeededBytes(use, texts, messages) <= use.buffer_bytes)
            continue;
        return std::string(HeaderFieldOptions[use.field]) + ": " + std::to_string(text.size()) +
               " bytes; the installer shows it in " + use.where + ", formatted into " +
               std::to_string(use.buffer_bytes) + " bytes, where at most " + std::to_string(RoomFor(use, texts, messages)) +
               " bytes of it fit (it would stop with an internal error)";
    }
    return "";
}

size_t LongestText(SfxHeaderField field, const char *const *messages)
{
    size_t longest = HeaderFieldBounds[field] - 1;
    const HeaderTexts empty;
    for (const MessageUse &use : MessageUses)
        if (use.field == field && RoomFor(use, empty, messages) < longest)
            longest = RoomFor(use, empty, messages);
    return longest;
}
