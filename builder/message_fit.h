// The author's texts in the stub's messages: the about text goes into the
// About box (StringId 50, joined with the program's own StringId 54), the
// command into the question when Cancel is pressed while it runs (StringId
// 17), into the shell's failure message (StringId 23) and, with its
// parameters, into the command line. Each is formatted into a fixed buffer
// (portable/message_buffers.h), and a text that does not fit ends the stub
// in an internal error. So the builder formats each message as the stub
// will, with the stub's own formatter and the texts of the stub's language
// (made from resources/LANGUAGE/messages.txt at build time: StubLanguage's
// texts, stub_language.h), and refuses what does not fit:
// no limit here is typed in a second time.
#pragma once

#include "sfx_header_builder.h"

#include <cstddef>
#include <string>

// Why the texts do not fit a message the stub formats with them, or "" when
// they all fit. Texts are the header's ANSI bytes; messages the stub's own,
// MESSAGE_STRING_COUNT of them in StringId order.
std::string MessageFitFault(const HeaderTexts &texts, const char *const *messages);

// The longest field the stub takes, in bytes, with every other text empty:
// its bound, and for the about text and the command the room their
// messages leave.
size_t LongestText(SfxHeaderField field, const char *const *messages);

// The Spanish stub's message texts in code page 850 (as OemToCharBuffA
// leaves their length), in StringId order; made by tools/resgen --texts.
// Every language's are StubLanguage::texts (stub_language.h).
extern const char *const MessageTexts[64];
