// libFuzzer target for the builder's zip reader (tvsfx build --from-zip):
// each input is a whole archive file. The reader either refuses it with a
// BuildError, or returns members whose data lies inside what it kept, which
// the writer then re-bases as a build would. Anything else (a crash, a read
// outside the input, undefined behaviour, another exception, a member whose
// data runs past the storage) is a fault.
#include <cstdio>
#include <cstdlib>

#include "ansi_codepage.h"
#include "build_error.h"
#include "text_encoding.h"
#include "zip_reader.h"
#include "zip_writer.h"

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "zip reader fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ZipArchive archive;
    try {
        archive = ReadZipArchive(std::vector<uint8_t>(data, data + size), "fuzz.zip", AnsiCodepageOf(DEFAULT_CODEPAGE));
    } catch (const BuildError &) {
        return 0;
    }
    Require(archive.central_order.size() == archive.members.size(), "central order and members differ in count");
    for (const ZipMember &member : archive.members) {
        Require(member.data_offset <= archive.storage.size() &&
                    member.compressed_bytes <= archive.storage.size() - member.data_offset,
                "a member's data runs past the storage");
        Require(!member.name.empty(), "a member without a name was accepted");
    }
    for (size_t index : archive.central_order)
        Require(index < archive.members.size(), "central order names no member");
    // The writer re-bases what was accepted, as a build does.
    ZipWriteLayout layout;
    std::vector<uint8_t> written = WriteZip(archive, 0x6C00, 512, &layout);
    Require(layout.end_record < 0x6C00u + written.size(), "the end record lies outside what was written");
    return 0;
}
