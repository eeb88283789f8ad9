// The author's texts in the stub's messages: the about text goes into the
// About box (StringId 50, joined with the program's own StringId 54), the
// command into the question when Cancel is pressed while it runs (StringId
// 17), into the shell's failure message (StringId 23) and, with its
// parameters, into the command line. Each is formatted into a fixed buffer
// (portable/message_buffers.h), and a text that does not fit ends the stub
// in an internal error. So the builder formats each message as the stub
// will, with the stub's own formatter and the stub's own texts (made from
// resources/messages.txt at build time), and refuses what does not fit:
// no limit here is typed in a second time.
#pragma once

#include "sfx_header_builder.h"

#include <cstddef>
#include <string>

// Why the texts do not fit a message the stub formats with them, or "" when
// they all fit. Texts are the header's ANSI bytes.
std::string MessageFitFault(const HeaderTexts &texts);

// The longest field the stub takes, in bytes, with every other text empty:
// its bound, and for the about text and the command the room their
// messages leave.
size_t LongestText(SfxHeaderField field);

// The stub's message texts in code page 850 (as OemToCharBuffA leaves their
// length), in StringId order; made by tools/resgen --texts.
extern const char *const MessageTexts[64];
