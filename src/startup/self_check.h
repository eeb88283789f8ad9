// Checks of the program's own file: the CRC of its covered region, the entry
// point in its PE header, and the end record where the ParameterBlock says.
#pragma once

#include <cstdint>

// Proves the covered region (from 0, or past the NT headers with the
// sign-friendly flag, up to region_bytes) against expected_crc, computed with
// the block's own CRC field zeroed. Returns when it matches; otherwise ends
// in the header-corrupt abort. Needs ArchiveFile open and the CRC table built.
void SelfCheck(uint32_t region_bytes, uint32_t expected_crc);

// True when the program's PE header names this build's own machine (i386
// for the 32-bit stub, x86-64 for the 64-bit one) and carries the entry
// point the ParameterBlock expects. Opens OwnPath by itself.
bool PeCheck();

// Returns when the end record's signature (or a digital signature's) stands
// at the ParameterBlock's end-record offset; otherwise shows the damaged-
// archive message and aborts.
void EndRecordCheck();
