// The named switches for the bits of the ParameterBlock's flags word: one
// table that the command-line parser, --help and the option line in the
// header's info text all read, so that a switch cannot exist in one of them
// and be missing from another. The bits for spanned archives (12, 15) have
// no switch: this builder writes single-file archives only, so they can only
// be set through --flags.
#pragma once

#include <cstdint>

struct FlagSwitch {
    const char *name;   // without the leading "--"
    uint32_t mask;      // bits it sets
    const char *help;   // one line for --help
};

extern const FlagSwitch FlagSwitches[];
extern const unsigned FLAG_SWITCH_COUNT;
