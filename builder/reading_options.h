// The command lines of the two commands that look at a finished installer:
//
//   tvsfx info FILE [--json] [--codepage CP]
//   tvsfx verify FILE|DISK1 DISK2... [--password P | --password-file F] [--codepage CP] [--quiet]
//
// A mistake on them is a UsageError, which ends the process with status 2
// (status 1 is kept for a file that cannot be read, or is damaged).
#pragma once

#include "build_error.h"
#include "password_input.h"

#include <string>
#include <vector>

class UsageError : public BuildError {
public:
    explicit UsageError(const std::string &message) : BuildError(message) {}
};

struct ReadingOptions {
    std::string file;
    std::vector<std::string> later_disks;  // verify only: the folders of disks 2... when file is disk 1's
    std::string codepage;     // of the texts and names inside; DEFAULT_CODEPAGE unless --codepage
    bool json = false;        // info only
    bool quiet = false;       // verify only: print faults only
    PasswordOptions password; // verify only
};

// command is "info" or "verify"; arguments are those after it.
ReadingOptions ParseReadingCommandLine(const std::string &command, const std::vector<std::string> &arguments);
