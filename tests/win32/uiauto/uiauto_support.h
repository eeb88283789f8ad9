// What the uiauto tests share: where the fixture and uidriver programs are,
// and small file helpers. The build passes the programs' paths as the build
// host sees them; under Wine the host's root is a drive of its own.
#pragma once

#include <string>
#include <vector>

#include "uiauto.h"

// Generous safety limits: a test that reaches one has failed anyway.
constexpr unsigned long TEST_LIMIT_MS = 20000;
// The limit given to the program that never shows a window.
constexpr unsigned long HUNG_LIMIT_MS = 1000;

// The fixture's command line: the program, then args.
uiauto::LaunchOptions FixtureLaunch(const std::vector<std::string> &args);
std::string DriverExe();
std::string FixtureExe();

// A fresh path in the test's working folder; any old file there is removed.
std::string ScratchPath(const std::string &name);

// The file's bytes; *exists tells whether it could be read.
std::string ReadBytes(const std::string &path, bool *exists);
