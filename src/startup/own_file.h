// Initialisation from the program's own file: open it, prove it unaltered,
// create the work buffers, unpack the message table, read the header and
// check the end record. Also the handle and flags later modules read it by.
#pragma once

#include <windows.h>

extern HFILE ArchiveFile;   // the one read handle on the archive; HFILE_ERROR when closed
extern int SpannedFlag;     // the archive spans removable disks (flags bit 12)
extern int ExeVolumeFlag;   // later disks hold NAME.EXE rather than NAME.ZIP (flags bit 15)

// The zip record signatures, each assembled at start-up from its 3-byte tail
// so that no complete signature stands in the program's data.
extern char SignatureLocalHeader[5];
extern char SignatureCentralHeader[5];
extern char SignatureEndRecord[5];
extern char SignatureDigital[5];
extern char SignatureSpanning[5];
extern char SignatureDescriptor[5];

// Runs the initialisation; returns normally, or ends in AbortRun or an
// internal error.
// Fills the six Signature arrays from the zip record layouts; the first step
// of Initialise, and of a test that walks an archive without it.
void AssembleSignatures();

void Initialise();

// Sets SpannedFlag and ExeVolumeFlag from the ParameterBlock's flags word;
// a step of Initialise, and of a test that takes over an installer's block.
void ReadArchiveFlags();

// Allocates the decoder's window and the input and output buffers and hands
// them to the decoder (InitialiseStreams) with table memory from the local
// heap and an out-of-memory report that shows an error box and aborts to the
// innermost abort point; the decoder then holds nothing read yet. Missing
// memory ends in the header-corrupt abort, before the decoder is touched.
void PrepareDecoder();

// Takes the work buffers back from the decoder (DetachStreams), frees them and
// closes the program's file, each if it exists.
void ReleaseOwnFile();
