// The completed ParameterBlock, read back by the tests' own parser: every
// field, the CRC recomputed with zlib over the covered region with and
// without flags bit 11, and byte-for-byte repeatable output. A stub whose
// marker is missing or repeated is refused with the other unusable stubs
// (pe_section_test.cpp).
#include "builder_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <utime.h>

namespace builder_test {
namespace {

class ParameterBlock : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(dir / "payload"); }
    TempDir dir;
};

TEST_F(ParameterBlock, FieldsPointAtWhatTheyName)
{
    const ToolRun run = BuildFromDir(dir / "payload", dir / "setup.exe",
                                     {"--command", "setup.bat", "--wait-name", "instalar.exe", "--auto", "--hidden"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
    const ParameterView block = ParseParameterBlock(image);
    ASSERT_EQ(1u, block.marker_count);
    EXPECT_EQ(ParseParameterBlock(ReadBytes(StubPath())).offset, block.offset) << "the block stays in place";

    EXPECT_EQ(0xFFFF, block.completion);
    EXPECT_EQ(ParsePe(image).entry_point, block.entry_point);
    EXPECT_EQ(0x00000004u | 0x00000200u | 0x00400000u, block.flags) << "wait-name, auto, hidden";
    EXPECT_EQ("instalar", block.wait_name) << "stored without .exe";

    EXPECT_EQ(8u, HeaderFields(image, block).size()) << "the header lies in [header, first local header)";
    EXPECT_EQ(std::string("PK\x03\x04"), std::string(image.begin() + block.first_local_header,
                                                     image.begin() + block.first_local_header + 4));
    EXPECT_EQ(std::string("PK\x05\x06"),
              std::string(image.begin() + block.end_record, image.begin() + block.end_record + 4));
    const LocalWalk walk = WalkLikeTheStub(image, block.first_local_header);
    EXPECT_EQ("", walk.failure);
    EXPECT_EQ(block.end_record, walk.end_record);

    uint32_t file_bytes = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir / "payload"))
        if (entry.is_regular_file())
            file_bytes += static_cast<uint32_t>(entry.file_size());
    EXPECT_EQ(file_bytes, block.total_size);
}

// The stub recomputes the CRC with its own field zeroed, from offset 0 or,
// with bit 11, from the end of the NT headers, up to the first local header.
TEST_F(ParameterBlock, CrcCoversTheRegionTheFlagsSay)
{
    struct Case {
        const char *flags;
        bool dos_stub_covered;
    } const cases[] = {{"0x00000000", true}, {"0x00000800", false}, {"0x00242812", false}};
    for (const Case &c : cases) {
        const ToolRun run = BuildFromDir(dir / "payload", dir / "setup.exe", {"--flags", c.flags});
        ASSERT_EQ(0, run.exit_code) << "flags " << c.flags << ": " << run.err;
        const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
        const ParameterView block = ParseParameterBlock(image);
        EXPECT_EQ(ReferenceCrc(image, block), block.crc) << "flags " << c.flags;

        // A byte of the DOS stub and one of the section table, changed.
        std::vector<uint8_t> dos_changed = image;
        dos_changed[0x50] ^= 0x01;
        EXPECT_EQ(c.dos_stub_covered, ReferenceCrc(dos_changed, block) != block.crc) << "flags " << c.flags;
        std::vector<uint8_t> table_changed = image;
        table_changed[ParsePe(image).nt_offset + 248] ^= 0x01;
        EXPECT_NE(block.crc, ReferenceCrc(table_changed, block)) << "flags " << c.flags;
        // The archive lies outside the region.
        std::vector<uint8_t> archive_changed = image;
        archive_changed[block.first_local_header + 14] ^= 0x01;
        EXPECT_EQ(block.crc, ReferenceCrc(archive_changed, block)) << "flags " << c.flags;
    }
}

// No timestamps, random bytes or directory order creep in: the same tree made
// again in another order gives the same installer.
TEST_F(ParameterBlock, SameInputSameBytes)
{
    const std::vector<std::string> options = {"--command", "setup.bat", "--text", "t", "--title", "x",
                                              "--sign-friendly"};
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "first.exe", options).exit_code);
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "second.exe", options).exit_code);
    const std::vector<uint8_t> first = ReadBytes(dir / "first.exe");
    EXPECT_TRUE(first == ReadBytes(dir / "second.exe"));

    // The same files created in reverse order, with the same times.
    const std::string again = dir / "again";
    std::filesystem::create_directories(again + "/docs/empty");
    const char *files[] = {"setup.bat", "readme.txt", "docs/zero.txt", "docs/noise.bin"};
    for (const char *file : files)
        WriteBytes(again + "/" + file, ReadBytes(dir / "payload/" + file));
    const char *all[] = {"setup.bat", "readme.txt", "docs/zero.txt", "docs/noise.bin", "docs/empty", "docs"};
    for (const char *path : all) {
        struct stat info;
        ASSERT_EQ(0, stat((dir / "payload/" + path).c_str(), &info));
        struct utimbuf times = {info.st_atime, info.st_mtime};
        ASSERT_EQ(0, utime((again + "/" + path).c_str(), &times));
    }
    ASSERT_EQ(0, BuildFromDir(again, dir / "again.exe", options).exit_code);
    EXPECT_TRUE(first == ReadBytes(dir / "again.exe"));

    // And from a zip archive: Python's zipfile writes the same one twice, at
    // fixed dates, its central directory in reverse file order.
    const char *const write_zip = R"(python3 - "$OUT_ZIP" <<'EOF'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], 'w')
for name, text in [('b.txt', 'b' * 5000), ('a/c.txt', open('readme.txt').read()), ('a/', '')]:
    z.writestr(zipfile.ZipInfo(name, (2001, 2, 3, 4, 5, 6)), text, zipfile.ZIP_DEFLATED)
z.filelist.reverse()
z.close()
EOF)";
    for (const char *name : {"z1", "z2"}) {
        const std::string zip = MakePeerZip(dir, std::string(name) + ".zip", write_zip);
        ASSERT_FALSE(zip.empty());
        ASSERT_EQ(0, RunTvsfx({"build", "--quiet", "--out", dir / name + ".exe", "--from-zip", zip}).exit_code);
    }
    ASSERT_TRUE(ReadBytes(dir / "z1.zip") == ReadBytes(dir / "z2.zip"));
    EXPECT_TRUE(ReadBytes(dir / "z1.exe") == ReadBytes(dir / "z2.exe"));
}

}  // namespace
}  // namespace builder_test
