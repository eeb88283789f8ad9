// Sizes near 2 GiB and 4 GiB: what the stub cannot address (a member or an
// archive of 2 GiB or more, since its offsets are signed 32-bit values; a
// total over the 32-bit size field; Zip64 marks) is refused with a message
// naming the limit, and nothing is written. Files are sparse and archives
// state their sizes without carrying the data, so nothing large is written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "builder_support.h"

namespace {

using namespace builder_test;

void Put16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(value & 0xFF);
    out.push_back(value >> 8);
}

void Put32(std::vector<uint8_t> &out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A zip whose deflate members state uncompressed_bytes each but carry the
// two bytes of an empty final stored block: enough for the reader, which
// takes sizes from the central directory.
std::vector<uint8_t> ZipStating(const std::vector<uint32_t> &uncompressed_bytes)
{
    const std::vector<uint8_t> data = {0x03, 0x00};
    std::vector<uint8_t> out, central;
    for (size_t i = 0; i < uncompressed_bytes.size(); i++) {
        const std::string name = "m" + std::to_string(i) + ".bin";
        const uint32_t offset = static_cast<uint32_t>(out.size());
        for (std::vector<uint8_t> *record : {&out, &central}) {
            const bool local = record == &out;
            Put32(*record, local ? 0x04034B50 : 0x02014B50);
            if (!local)
                Put16(*record, 20);          // version made by
            Put16(*record, 20);              // version needed
            Put16(*record, 0);               // flags
            Put16(*record, 8);               // deflate
            Put16(*record, 0);               // time
            Put16(*record, 0x21);            // date: 1980-01-01
            Put32(*record, 0);               // CRC (never checked here)
            Put32(*record, static_cast<uint32_t>(data.size()));
            Put32(*record, uncompressed_bytes[i]);
            Put16(*record, static_cast<uint16_t>(name.size()));
            Put16(*record, 0);               // extra field
            if (!local) {
                Put16(*record, 0);           // comment
                Put16(*record, 0);           // disk
                Put16(*record, 0);           // internal attributes
                Put32(*record, 0);           // external attributes
                Put32(*record, offset);
            }
            record->insert(record->end(), name.begin(), name.end());
            if (local)
                record->insert(record->end(), data.begin(), data.end());
        }
    }
    const uint32_t central_offset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    Put32(out, 0x06054B50);
    Put32(out, 0);  // disk numbers
    Put16(out, static_cast<uint16_t>(uncompressed_bytes.size()));
    Put16(out, static_cast<uint16_t>(uncompressed_bytes.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, central_offset);
    Put16(out, 0);  // comment
    return out;
}

TEST(SizeLimits, FilesOf2GiBOrMoreAreRefused)
{
    // 4 GiB + 100 would be 100 bytes if a size were taken in 32 bits.
    for (const uint64_t size : {0x80000000ull, 0x100000000ull, 0x100000064ull}) {
        TempDir dir;
        const std::string folder = dir / "in";
        ASSERT_EQ(0, RunShell("mkdir " + ShellQuote(folder)).exit_code);
        const int fd = open((folder + "/grande.bin").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(0, ftruncate(fd, static_cast<off_t>(size)));
        close(fd);
        const ToolRun run = BuildFromDir(folder, dir / "out.exe", {"--command", "x.exe"});
        EXPECT_EQ(1, run.exit_code) << size;
        EXPECT_NE(std::string::npos, run.err.find("grande.bin: 2 GiB or more; the installer's offsets are signed "
                                                  "32-bit values"))
            << size << ": " << run.err;
        EXPECT_FALSE(FileExists(dir / "out.exe")) << size;
    }
}

TEST(SizeLimits, StatedSizesNear4GiB)
{
    const struct {
        const char *label;
        std::vector<uint32_t> sizes;
        const char *refusal;  // nullptr: built
    } cases[] = {
        // The stub counts what it writes unsigned and never seeks in its
        // output: a member of 2 GiB or more unpacked is addressable.
        {"2 GiB unpacked", {0x80000000u}, nullptr},
        {"4 GiB - 2 in all", {0x80000000u, 0x7FFFFFFEu}, nullptr},
        {"0xFFFFFFFF, the Zip64 mark", {0xFFFFFFFFu}, "member \"m0.bin\" needs Zip64"},
        {"over 4 GiB in all", {0xF0000000u, 0x20000000u},
         "the members unpack to 4563402752 bytes, over the 4 GiB the installer's size field counts"},
    };
    for (const auto &c : cases) {
        TempDir dir;
        WriteBytes(dir / "in.zip", ZipStating(c.sizes));
        const ToolRun run = RunTvsfx({"build", "--quiet", "--out", dir / "out.exe", "--from-zip", dir / "in.zip",
                                      "--command", "x.exe"});
        if (!c.refusal) {
            EXPECT_EQ(0, run.exit_code) << c.label << ": " << run.err;
            continue;
        }
        EXPECT_EQ(1, run.exit_code) << c.label;
        EXPECT_NE(std::string::npos, run.err.find(c.refusal)) << c.label << ": " << run.err;
        EXPECT_FALSE(FileExists(dir / "out.exe")) << c.label;
    }
}

}  // namespace
