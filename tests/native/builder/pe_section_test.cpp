// The _talvok_ section: appended to the stub as a real PE section without
// moving anything the stub had, holding the header and the archive up to the
// end of the file; stubs that cannot be extended that way, or whose
// ParameterBlock marker is missing or repeated, are refused; and
// the result still loads and runs under Wine. Every case runs for both stubs:
// the 32-bit one (PE32, i386) and the 64-bit one (PE32+, x86-64), whose
// optional header is 16 bytes longer and whose data directories start at
// optional-header offset 112 instead of 96.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>

namespace builder_test {
namespace {

uint32_t Align(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

struct Arch {
    const char *name;          // --arch
    const char *stub;          // the built stub
    uint16_t machine;
    uint32_t optional_header_bytes;
    const char *objdump;
    const char *wine_arch;     // wine-run.sh --arch
    const char *wine_prefix;
};
void PrintTo(const Arch &arch, std::ostream *out) { *out << arch.name; }
const Arch Arches[] = {
    {"x86", TALVOK_STUB_EXE, 0x014C, 224, "i686-w64-mingw32-objdump", "win32", TALVOK_WINEPREFIX},
    {"x64", TALVOK_STUB64_EXE, 0x8664, 240, "x86_64-w64-mingw32-objdump", "win64", TALVOK_WINEPREFIX64},
};

class TalvokSection : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override
    {
        arch = GetParam();
        if (!FileExists(arch.stub))
            GTEST_SKIP() << "no " << arch.name << " stub at \"" << arch.stub << "\"";
        MakeSamplePayload(dir / "payload");
        ToolRun run = BuildFromDir(dir / "payload", dir / "setup.exe",
                                   {"--arch", arch.name, "--command", "setup.bat", "--text", "hola"});
        ASSERT_EQ(0, run.exit_code) << run.err;
        stub = ReadBytes(arch.stub);
        image = ReadBytes(dir / "setup.exe");
    }
    // End of the NT headers: signature, file header and optional header.
    size_t NtHeadersEnd(const PeView &pe) const { return pe.nt_offset + 24 + arch.optional_header_bytes; }
    TempDir dir;
    Arch arch;
    std::vector<uint8_t> stub, image;
};
INSTANTIATE_TEST_SUITE_P(Stubs, TalvokSection, ::testing::ValuesIn(Arches),
                         [](const ::testing::TestParamInfo<Arch> &info) { return std::string(info.param.name); });

// What the loader and the user's system see of the stub itself, checked
// with the peer objdump even where this machine cannot run the stub: its
// form and machine, the GUI subsystem, and imports from system DLLs only.
TEST_P(TalvokSection, StubIsAGuiImageForItsMachineImportingSystemDllsOnly)
{
    EXPECT_EQ(arch.machine, Le16(stub, Le32(stub, 0x3C) + 4));
    ToolRun run = RunShell(std::string(arch.objdump) + " -p " + ShellQuote(arch.stub));
    ASSERT_EQ(0, run.exit_code) << run.err;
    EXPECT_NE(std::string::npos, run.out.find(arch.machine == 0x8664 ? "(PE32+)" : "(PE32)")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("Subsystem\t\t00000002\t(Windows GUI)")) << run.out;
    const std::vector<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "COMCTL32.DLL",
                                              "SHELL32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"};
    size_t dll_count = 0;
    for (size_t at = run.out.find("DLL Name: "); at != std::string::npos; at = run.out.find("DLL Name: ", at + 1)) {
        std::string dll = run.out.substr(at + 10, run.out.find('\n', at) - at - 10);
        std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::toupper(c); });
        EXPECT_NE(allowed.end(), std::find(allowed.begin(), allowed.end(), dll)) << "imports " << dll;
        dll_count++;
    }
    EXPECT_GE(dll_count, 2u) << run.out;
    std::cout << arch.name << " stub: " << stub.size() << " bytes, " << dll_count << " DLLs imported\n";
}

TEST_P(TalvokSection, AppendedAfterTheStubsSectionsWhichStayAsTheyWere)
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
        {NtHeadersEnd(after) + before.sections.size() * 40, 40}, {ParseParameterBlock(stub).offset, 60}};
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
    EXPECT_LE(NtHeadersEnd(after) + after.sections.size() * 40u, after.size_of_headers);

    // The section holds the header, then the archive, whose end record's
    // comment runs to the end of the file (the padding).
    const ParameterView block = ParseParameterBlock(image);
    EXPECT_EQ(added.raw_offset, block.header);
    EXPECT_LT(block.header, block.first_local_header);
    EXPECT_EQ(image.size(), block.end_record + 22u + Le16(image, block.end_record + 20));
}

TEST_P(TalvokSection, ObjdumpReadsTheSectionTable)
{
    ToolRun run = RunShell(std::string(arch.objdump) + " -h " + ShellQuote(dir / "setup.exe"));
    ASSERT_EQ(0, run.exit_code) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("_talvok_")) << run.out;
    EXPECT_EQ(std::string::npos, run.err.find("warning")) << run.err;
}

// Every way a stub can be unfit: it cannot be extended by a section, or it
// has no single ParameterBlock to complete. Nothing is written for any.
TEST_P(TalvokSection, UnusableStubsAreRefused)
{
    const size_t directories = arch.machine == 0x8664 ? 112 : 96;
    const size_t marker = ParseParameterBlock(stub).offset;
    ASSERT_NE(std::string::npos, marker);
    auto copy_marker = [marker](std::vector<uint8_t> &s, size_t to) {
        std::copy(s.begin() + marker, s.begin() + marker + 8, s.begin() + to);
    };
    struct Case {
        const char *name;
        std::function<void(std::vector<uint8_t> &stub)> damage;
        const char *message;
    } const cases[] = {
        {"overlay", [](std::vector<uint8_t> &s) { s.resize(s.size() + 512, 0xAA); }, "after its last section"},
        {"certificate",
         [&](std::vector<uint8_t> &s) {
             size_t security = Le32(s, 0x3C) + 24 + directories + 4 * 8;  // data directory 4
             s[security] = 0x10;
             s[security + 4] = 0x20;
         },
         "certificate"},
        {"truncated", [](std::vector<uint8_t> &s) { s.resize(s.size() - 100); }, "truncated"},
        {"not a PE", [](std::vector<uint8_t> &s) { s[0] = 'X'; }, "no MZ header"},
        {"another machine",
         [](std::vector<uint8_t> &s) { s[Le32(s, 0x3C) + 4] ^= 0x01; },
         "neither a PE32 image for i386 nor a PE32+ image for x86-64"},
        {"no room for a section header",
         [&](std::vector<uint8_t> &s) {
             PeView pe = ParsePe(s);
             size_t table_end = NtHeadersEnd(pe) + pe.sections.size() * 40;
             s[table_end + 5] = 1;  // something lives where the new header would go
         },
         "in use"},
        {"no marker", [marker](std::vector<uint8_t> &s) { s[marker + 3] = 0x02; }, "no ParameterBlock"},
        {"second marker in the DOS stub", [&](std::vector<uint8_t> &s) { copy_marker(s, 0x40); }, "occurs 2 times"},
        {"second marker at the end", [&](std::vector<uint8_t> &s) { copy_marker(s, s.size() - 8); },
         "occurs 2 times"},
    };
    for (const Case &c : cases) {
        TempDir work;
        std::vector<uint8_t> damaged = stub;
        c.damage(damaged);
        WriteBytes(work / "stub.exe", damaged);
        ToolRun run = BuildFromDir(dir / "payload", work / "out.exe", {"--stub", work / "stub.exe"});
        EXPECT_EQ(1, run.exit_code) << c.name;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.name << ": " << run.err;
        EXPECT_EQ(std::vector<std::string>{"stub.exe"}, FolderEntries(work.path())) << c.name;
    }
}

TEST_P(TalvokSection, AnInstallerIsNotAStub)
{
    ToolRun run = BuildFromDir(dir / "payload", dir / "again.exe", {"--stub", dir / "setup.exe"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("already has a _talvok_ section")) << run.err;
    EXPECT_FALSE(FileExists(dir / "again.exe"));
}

// --stub with --arch must be a stub of that architecture.
TEST_P(TalvokSection, StubOfAnotherArchitectureIsRefused)
{
    const char *other = std::string(arch.name) == "x86" ? "x64" : "x86";
    ToolRun run = BuildFromDir(dir / "payload", dir / "other.exe", {"--arch", other, "--stub", arch.stub});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find(std::string("an ") + arch.name + " stub, not " + other)) << run.err;
    EXPECT_FALSE(FileExists(dir / "other.exe"));
}

// The result loads under Wine, passes the stub's own checks and shows the
// author's text; Cancel ends it with exit code 0. Needs the Windows build's
// Wine prefix and UI driver, and for the 32-bit stub a machine that runs
// 32-bit programs.
TEST_P(TalvokSection, RunsUnderWine)
{
    const std::string prefix = arch.wine_prefix;
    const std::string stub_path = arch.stub;
    const std::string driver = stub_path.substr(0, stub_path.rfind("/src/")) + "/tools/uiauto/uidriver.exe";
    if (!FileExists(driver))
        GTEST_SKIP() << "no UI driver at " << driver;
    if (std::string(arch.wine_arch) == "win32") {
        ToolRun probe = RunShell(ShellQuote(std::string(TALVOK_SOURCE_DIR) + "/scripts/can-run-win32.sh"));
        if (probe.exit_code != 0)
            GTEST_SKIP() << "32-bit stub not run: " << probe.out;
    }
    for (const char *flags : {"0x00000000", "0x00000800"}) {
        ToolRun build = BuildFromDir(dir / "payload", dir / "wine.exe",
                                     {"--arch", arch.name, "--command", "setup.bat", "--text", "texto de prueba",
                                      "--flags", flags});
        ASSERT_EQ(0, build.exit_code) << build.err;
        ToolRun run = RunShell("cd " + ShellQuote(dir.path()) + " && timeout 120 bash " +
                               ShellQuote(std::string(TALVOK_SOURCE_DIR) + "/scripts/wine-run.sh") + " --arch " +
                               arch.wine_arch + " --prefix " + ShellQuote(prefix) + " " + ShellQuote(driver) +
                               " run --timeout 60 --expect 'texto de prueba' --press-id 2 -- wine.exe");
        EXPECT_EQ(0, run.exit_code) << "flags " << flags << "\n" << run.out << run.err;
    }
}

}  // namespace
}  // namespace builder_test
