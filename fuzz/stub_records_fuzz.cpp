// libFuzzer target for the stub's reading of zip records: the directory walk
// and the record readers (directory_walk.cpp, member_header.cpp, compiled
// natively through the stand-ins in stub_shim/): local headers with their
// names and extra fields, central headers, the end record; the member's data
// is read as the member input reads it.
//   byte 0   bit 0: the answer to the overwrite question is No (step over)
//   rest     the archive, walked from its first byte
// Besides the sanitizers' findings, the walk must only move forward (the
// stand-in _llseek aborts on a step back): a record that sends it back would
// repeat forever.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/directory_walk.h"
#include "archive/member_header.h"
#include "archive/read_error_codes.h"
#include "archive/zip_records.h"
#include "startup/byte_helpers.h"
#include "startup/error_abort.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "stub_stand_ins.h"

char SignatureLocalHeader[5], SignatureCentralHeader[5], SignatureEndRecord[5];
char SignatureDigital[5], SignatureSpanning[5], SignatureDescriptor[5];

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "stub records fuzz: %s\n", what);
        std::abort();
    }
}

// As start-up assembles them (own_file.cpp, which needs Windows).
void SetSignature(char *signature, const uint8_t *tail)
{
    signature[0] = static_cast<char>(ZIP_SIGNATURE_LEAD);
    for (size_t i = 0; i < ZIP_SIGNATURE_TAIL_BYTES; i++)
        signature[1 + i] = static_cast<char>(tail[i]);
    signature[4] = '\0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    SetSignature(SignatureLocalHeader, ZIP_LOCAL_HEADER_TAIL);
    SetSignature(SignatureCentralHeader, ZIP_CENTRAL_HEADER_TAIL);
    SetSignature(SignatureEndRecord, ZIP_END_RECORD_TAIL);
    SetSignature(SignatureDigital, ZIP_DIGITAL_SIGNATURE_TAIL);
    SetSignature(SignatureSpanning, ZIP_SPANNING_MARK_TAIL);
    SetSignature(SignatureDescriptor, ZIP_DATA_DESCRIPTOR_TAIL);
    OverwriteAnswer = (data[0] & 1) ? OverwriteDecision::StepOver : OverwriteDecision::Extract;
    SetArchiveBytes(data + 1, size - 1);
    RunStubCode(WalkDirectory);
    Require(std::memchr(MemberPath, 0, sizeof MemberPath) != nullptr, "MemberPath without its NUL");
    return 0;
}
