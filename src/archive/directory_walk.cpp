// The directory walk (see directory_walk.h). Needs only the archive file and
// the record readers, so the fuzzers run it natively as it is.
#include "archive/directory_walk.h"

#include <windows.h>

#include "archive/disk_volume.h"
#include "archive/member_header.h"
#include "archive/read_error_codes.h"
#include "archive/zip_records.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/message_table.h"
#include "startup/own_file.h"

enum class RecordKind { LocalHeader, CentralHeader, EndRecord, SpanningMarker, Unknown };

static RecordKind Classify(const char *signature)
{
    if (!CompareBytes(signature, SignatureLocalHeader, 4))
        return RecordKind::LocalHeader;
    // "PK\x07\x08" between records: a spanning marker on a spanned archive,
    // where a disk's file may start with one; out of place in a single file.
    if (!CompareBytes(signature, SignatureDescriptor, 4))
        return SpannedFlag ? RecordKind::SpanningMarker : RecordKind::Unknown;
    if (!CompareBytes(signature, SignatureCentralHeader, 4))
        return RecordKind::CentralHeader;
    if (!CompareBytes(signature, SignatureEndRecord, 4) || !CompareBytes(signature, SignatureDigital, 4))
        return RecordKind::EndRecord;
    if (!CompareBytes(signature, SignatureSpanning, 4))
        return RecordKind::SpanningMarker;  // "PK00": stepped over
    return RecordKind::Unknown;
}

// Reads the next record's signature; on a spanned archive a file that ends
// first sends the read to the start of the next disk's file.
static void ReadSignature(char *signature)
{
    if (_lread(ArchiveFile, signature, ZIP_SIGNATURE_BYTES) == ZIP_SIGNATURE_BYTES)
        return;
    if (!SpannedFlag)
        ReportReadError(READ_ERROR_SIGNATURE);
    OpenDisk(static_cast<uint16_t>(CurrentDisk + 1), VolumeNaming());
    if (_lread(ArchiveFile, signature, ZIP_SIGNATURE_BYTES) != ZIP_SIGNATURE_BYTES)
        ReportReadError(READ_ERROR_SIGNATURE_NEXT_DISK);
}

// Reads records until the end record. A spanned archive ends at its first
// central header (its directory is of no use without the disks it names),
// and passes over what it does not know 4 bytes at a time, as a set whose
// disks end between records may put anything there.
void WalkDirectory()
{
    for (;;) {
        char signature[ZIP_SIGNATURE_BYTES];
        ReadSignature(signature);
        switch (Classify(signature)) {
        case RecordKind::LocalHeader:
            ProcessMember();
            break;
        case RecordKind::CentralHeader:
            if (SpannedFlag)
                return;
            SkipCentralEntry();
            break;
        case RecordKind::EndRecord:
            SkipEndRecord();
            return;
        case RecordKind::SpanningMarker:
            break;
        case RecordKind::Unknown:
            if (!SpannedFlag)
                ErrorAbort(Message(MSG_BAD_ZIP_HEADER));
            break;
        }
    }
}
