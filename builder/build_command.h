// "tvsfx build": from parsed options to the installer on disk. Loads the stub
// and the payload, converts the texts, settles the flags word, builds, writes
// and prints a summary of what went where.
#pragma once

#include "options.h"

#include <cstdint>
#include <string>

// Returns the process exit code; refusals propagate as BuildError.
int RunBuild(const Options &options);

// The flags word for these options and this payload (see --help).
uint32_t ResolveFlags(const Options &options, bool payload_encrypted);

// The default info text: the switches and the command that made the build,
// in ANSI bytes, never over the info field's bound.
std::string OptionLine(uint32_t flags, const std::string &command);
