// The codes ReportReadError shows in angle brackets after the read-error
// message: each names the read that came up short. Users see and report
// them, so each is defined here once. Codes 5 and 10 to 13 are not used;
// 3 and 8 belong to the reads that continue on the next disk.
#pragma once

enum ReadErrorCode {
    READ_ERROR_NAME = 1,               // a member name shorter than its header states
    READ_ERROR_MEMBER_DATA = 2,        // member data (or a step over it on a spanned archive)
    READ_ERROR_LOCAL_HEADER_NEXT_DISK = 3,  // a local header's fixed bytes, read again on the next disk
    READ_ERROR_LOCAL_HEADER = 4,       // the 26 fixed bytes of a local header
    READ_ERROR_CENTRAL_HEADER = 6,     // the 42 fixed bytes of a central header
    READ_ERROR_END_RECORD = 7,         // the 18 fixed bytes of the end record
    READ_ERROR_SIGNATURE_NEXT_DISK = 8,  // a record signature, read again on the next disk
    READ_ERROR_SIGNATURE = 9,          // a record signature
    READ_ERROR_ENCRYPTION_HEADER = 14, // a member's 12-byte encryption header (or an AES member's salt, verifier, code)
    READ_ERROR_EXTRA_FIELD = 15,       // an AES member's extra field
};
