// The stub's application manifest (RT_MANIFEST 1) with what the author asks
// for added before its closing </assembly>:
//   --elevation LEVEL  <trustInfo> with requestedExecutionLevel LEVEL
//                      (asInvoker, highestAvailable, requireAdministrator), so
//                      that Windows no longer guesses from the file's name
//                      whether an installer needs administrator rights;
//   --dpi-aware        <application><windowsSettings><dpiAware>true: the
//                      dialogs are laid out in dialog units and the meter's
//                      font follows LOGPIXELSY, so they scale without the
//                      system stretching a bitmap of them.
// Everything else in the manifest (the common controls 6.0 dependency) stays.
#pragma once

#include <string>

extern const char *const ElevationLevels[3];

// xml with the additions; refuses (BuildError) an unknown level, a manifest
// without </assembly>, or one that already says what is to be added.
std::string EditManifest(const std::string &xml, const std::string &elevation, bool dpi_aware);
