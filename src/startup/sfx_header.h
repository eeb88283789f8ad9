// The SfxHeader: the author's texts, read from the start of the _talvok_
// section into the run-wide buffers.
#pragma once

// Reads and splits the header (nothing when the ParameterBlock has no header
// offset), loads the icon and, by option, adds " -argv0 " and the program's
// path to RunParameters. A header that cannot be read, is damaged, or is
// larger than the reader's areas ends in the header-corrupt abort; a field
// over its bound is an internal error.
void ReadHeader();
