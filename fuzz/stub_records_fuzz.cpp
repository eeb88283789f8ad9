// libFuzzer target for the stub's reading of zip records: the directory walk
// and the record readers (directory_walk.cpp, member_header.cpp), the name
// checks and output paths (output_path.cpp, path_helpers.cpp) and the member
// input (member_input.cpp), compiled natively through the stand-ins in
// stub_shim/: local headers with their names and extra fields, central
// headers, the end record, every folder and file a member makes.
//   byte 0   bits 0-1: the overwrite question is not asked (0), or answered
//            Yes (1), No (2) or Cancel (3); bit 2: code page 932 (lead
//            bytes 0x81-0x9F, 0xE0-0xFC), else a single-byte one; bit 3: a
//            password is held
//   rest     the archive, walked from its first byte
// Besides the sanitizers' findings, the walk must only move forward (the
// stand-in _llseek aborts on a step back): a record that sends it back would
// repeat forever; and every folder and file must lie under the target folder,
// with no component that climbs out, holds a colon or names a device (the
// stand-ins abort otherwise).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/directory_walk.h"
#include "archive/member_header.h"
#include "archive/output_path.h"
#include "archive/read_error_codes.h"
#include "archive/zip_records.h"
#include "extract/crypt/member_input.h"
#include "extract/inflate/stream_buffers.h"
#include "extract/output_writer.h"
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

void DiscardOutput() { Stream.OutputFill = 0; }

}  // namespace

// The member input's buffer, as start-up lends it (own_file.cpp).
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static uint8_t input_buffer[IO_BUFFER_BYTES];
    Stream.InputBuffer = input_buffer;
    SetMemberIoHooks(RefillInput, DiscardOutput);
    return 0;
}

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
    static const int answers[] = {IDYES, IDYES, IDNO, IDCANCEL};
    OverwriteWithoutAsking = (data[0] & 3) == 0;
    OverwriteAnswer = answers[data[0] & 3];
    DoubleByteCodePage = (data[0] & 4) != 0;
    static char password[] = "clave secreta";
    Password = (data[0] & 8) ? password : nullptr;
    ResetFileSystem("C:\\TEMP\\TVSE0.TMP");
    ForgetKnownFolders();
    SetArchiveBytes(data + 1, size - 1);
    RunStubCode(WalkDirectory);
    Require(std::memchr(MemberPath, 0, sizeof MemberPath) != nullptr, "MemberPath without its NUL");
    return 0;
}
