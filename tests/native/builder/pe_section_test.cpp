// The _talvok_ section: appended to the stub as a real PE section without
// moving anything the stub had, holding the header and the archive up to the
// end of the file; stubs that cannot be extended that way are refused; and
// the result still loads and runs under Wine.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace builder_test {
namespace {

uint32_t Align(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

class TalvokSection : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeSamplePayload(dir / "payload");
        ToolRun run = RunTvsfx({"build", "--quiet", "--out", dir / "setup.exe", "--from-dir", dir / "payload",
                                "--command", "setup.bat", "--text", "hola"});
        ASSERT_EQ(0, run.exit_code) << run.err;
        stub = ReadBytes(StubPath());
        image = ReadBytes(dir / "setup.exe");
    }
    TempDir dir;
    std::vector<uint8_t> stub, image;
};

TEST_F(TalvokSection, AppendedAfterTheStubsSectionsWhichStayAsTheyWere)
{
    const PeView before = ParsePe(stub);
    const PeView after = ParsePe(image);
    ASSERT_EQ(before.sections.size() + 1, after.sections.size());
    for (size_t index = 0; index < before.sections.size(); index++) {
        EXPECT_EQ(before.sections[index].name, after.sections[index].name);
        EXPECT_EQ(before.sections[index].raw_offset, after.sections[index].raw_offset);
        EXPECT_EQ(before.sections[index].virtual_address, after.sections[index].virtual_address);
    }
    // Every byte of the stub is still where it was, except the fields the
    // builder owns: four header fields, the new section header and the block.
    std::vector<uint8_t> restored(image.begin(), image.begin() + stub.size());
    const size_t optional = after.nt_offset + 24;
    std::vector<std::pair<size_t, size_t>> owned = {
        {after.nt_offset + 6, 2}, {optional + 8, 4}, {optional + 56, 4}, {optional + 64, 4},
        {optional + 224 + before.sections.size() * 40, 40}, {ParseParameterBlock(stub).offset, 60}};
    for (const auto &range : owned)
        std::copy(stub.begin() + range.first, stub.begin() + range.first + range.second,
                  restored.begin() + range.first);
    EXPECT_TRUE(restored == stub) << "stub bytes changed outside the builder's fields";

    const PeSection &previous = before.sections.back();
    const PeSection &added = after.sections.back();
    EXPECT_EQ("_talvok_", added.name);
    EXPECT_EQ(stub.size(), added.raw_offset) << "the section starts where the stub ended";
    EXPECT_EQ(image.size(), size_t(added.raw_offset) + added.raw_size) << "and ends the file";
    EXPECT_EQ(0u, added.raw_size % after.file_alignment);
    EXPECT_EQ(Align(previous.virtual_address + std::max(previous.virtual_size, previous.raw_size),
                    after.section_alignment),
              added.virtual_address);
    EXPECT_EQ(0x40000040u, added.characteristics) << "initialised data, readable";
    EXPECT_EQ(Align(added.virtual_address + added.virtual_size, after.section_alignment), after.size_of_image);
    EXPECT_EQ(before.size_of_initialized_data + added.raw_size, after.size_of_initialized_data);
    EXPECT_EQ(before.entry_point, after.entry_point);
    EXPECT_EQ(0u, after.checksum);
    EXPECT_LE(after.nt_offset + 248u + after.sections.size() * 40u, after.size_of_headers);

    // The section holds the header, then the archive, whose end record's
    // comment runs to the end of the file (the padding).
    const ParameterView block = ParseParameterBlock(image);
    EXPECT_EQ(added.raw_offset, block.header);
    EXPECT_LT(block.header, block.first_local_header);
    EXPECT_EQ(image.size(), block.end_record + 22u + Le16(image, block.end_record + 20));
}

TEST_F(TalvokSection, ObjdumpReadsTheSectionTable)
{
    ToolRun run = RunShell("i686-w64-mingw32-objdump -h " + ShellQuote(dir / "setup.exe"));
    ASSERT_EQ(0, run.exit_code) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("_talvok_")) << run.out;
    EXPECT_EQ(std::string::npos, run.err.find("warning")) << run.err;
}

TEST_F(TalvokSection, StubsThatCannotBeExtendedAreRefused)
{
    struct Case {
        const char *name;
        void (*damage)(std::vector<uint8_t> &stub);
        const char *message;
    } const cases[] = {
        {"overlay", [](std::vector<uint8_t> &s) { s.resize(s.size() + 512, 0xAA); }, "after its last section"},
        {"certificate",
         [](std::vector<uint8_t> &s) {
             size_t security = Le32(s, 0x3C) + 24 + 128;  // data directory 4
             s[security] = 0x10;
             s[security + 4] = 0x20;
         },
         "certificate"},
        {"truncated", [](std::vector<uint8_t> &s) { s.resize(s.size() - 100); }, "truncated"},
        {"not a PE", [](std::vector<uint8_t> &s) { s[0] = 'X'; }, "no MZ header"},
        {"no room for a section header",
         [](std::vector<uint8_t> &s) {
             PeView pe = ParsePe(s);
             size_t table_end = pe.nt_offset + 248 + pe.sections.size() * 40;
             s[table_end + 5] = 1;  // something lives where the new header would go
         },
         "in use"},
    };
    for (const Case &c : cases) {
        TempDir work;
        std::vector<uint8_t> damaged = stub;
        c.damage(damaged);
        WriteBytes(work / "stub.exe", damaged);
        ToolRun run = RunTvsfx({"build", "--stub", work / "stub.exe", "--out", work / "out.exe", "--from-dir",
                                dir / "payload"});
        EXPECT_EQ(1, run.exit_code) << c.name;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.name << ": " << run.err;
        EXPECT_EQ(std::vector<std::string>{"stub.exe"}, FolderEntries(work.path())) << c.name;
    }
}

TEST_F(TalvokSection, AnInstallerIsNotAStub)
{
    ToolRun run = RunTvsfx({"build", "--stub", dir / "setup.exe", "--out", dir / "again.exe", "--from-dir",
                            dir / "payload"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("already has a _talvok_ section")) << run.err;
    EXPECT_FALSE(FileExists(dir / "again.exe"));
}

// The result loads under Wine, passes the stub's own checks and shows the
// author's text; Cancel ends it with exit code 0. Needs the Windows build's
// Wine prefix and UI driver.
TEST_F(TalvokSection, RunsUnderWine)
{
    const std::string prefix = TALVOK_WINEPREFIX;
    const std::string driver = StubPath().substr(0, StubPath().rfind("/src/")) + "/tools/uiauto/uidriver.exe";
    if (!FileExists(driver))
        GTEST_SKIP() << "no UI driver at " << driver;
    for (const char *flags : {"0x00000000", "0x00000800"}) {
        ToolRun build = RunTvsfx({"build", "--quiet", "--out", dir / "wine.exe", "--from-dir", dir / "payload",
                                  "--command", "setup.bat", "--text", "texto de prueba", "--flags", flags});
        ASSERT_EQ(0, build.exit_code) << build.err;
        ToolRun run = RunShell("cd " + ShellQuote(dir.path()) + " && timeout 120 bash " +
                               ShellQuote(std::string(TALVOK_SOURCE_DIR) + "/scripts/wine-run.sh") + " --prefix " +
                               ShellQuote(prefix) + " " + ShellQuote(driver) +
                               " run --timeout 60 --expect 'texto de prueba' --press-id 2 -- wine.exe");
        EXPECT_EQ(0, run.exit_code) << "flags " << flags << "\n" << run.out << run.err;
    }
}

}  // namespace
}  // namespace builder_test
