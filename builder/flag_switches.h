// The named switches for the bits of the ParameterBlock's flags word: one
// table that the command-line parser, --help and the option line in the
// header's info text all read, so that a switch cannot exist in one of them
// and be missing from another. Bit 12 (spanned) has no switch: --span sets
// it when it writes a disk set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FlagSwitch {
    const char *name;   // without the leading "--"
    uint32_t mask;      // bits it sets
    const char *help;   // one line for --help
};

extern const FlagSwitch FlagSwitches[];
extern const unsigned FLAG_SWITCH_COUNT;

// The flags word by name, lowest bit first: the switches' names (a switch
// whose bits another set switch includes is left out), "wait-name" (bit 2),
// "title" (bit 4) and "spanned" (bit 12) for the bits
// without a switch, and "bit N" for bits that mean nothing to the stub.
std::vector<std::string> FlagWordNames(uint32_t flags);
