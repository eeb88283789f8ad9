// "tvsfx verify FILE": proves natively what the installer checks when it
// starts, and what its extraction will meet:
//
//   - the PE image is one of the two stubs, and its entry point is the one
//     the ParameterBlock expects (the stub's PE check);
//   - the self-check CRC over the covered region, from offset 0 or, with the
//     sign-friendly bit, from the end of the NT headers, computed as the
//     stub computes it (first marker, its CRC field zeroed);
//   - an Authenticode certificate lies after the archive and ends the file;
//   - the header decodes with the stub's decoder and its fields fit;
//   - the end record stands at the ParameterBlock's offset, and zip tools
//     find the same one from the end of the file;
//   - the walk from the first local header reaches that end record, the
//     central directory lists the same members with the same fields (no
//     two entries on one local header: members whose data overlap), and
//     the total size and the encryption bit agree with the members;
//   - every name is one the build would take (member_name_check.h);
//   - every member's data decodes with the stub's own decoder (decrypted
//     with --password) to its size and CRC.
//
// Each fault is one line on stdout, "FILE: what is wrong". Exit status: 0
// sound, 1 damaged, 2 usage (also when members are encrypted and no
// password was given, and nothing else is wrong).
#pragma once

#include "reading_options.h"

int RunVerify(const ReadingOptions &options);
