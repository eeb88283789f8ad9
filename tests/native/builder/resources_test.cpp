// The installer's resources: --icon, the version resource, the manifest
// options, and the resource section the builder lays out again for them.
// Read back by tools that are not ours: Python's pefile
// (read_resources.py), icoutils' wrestool and icotool, osslsigncode. The
// .ico files come from icotool too (tests/icons/make_icons.py). Every case
// runs for both stubs. The Windows side (GetFileVersionInfoA, LoadIconA, a
// run of each installer) is in tests/win32/install_flow.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <iostream>
#include <sstream>

namespace builder_test {
namespace {

struct Arch {
    const char *name;
    const char *stub;
};
void PrintTo(const Arch &arch, std::ostream *out) { *out << arch.name; }
const Arch Arches[] = {{"x86", TALVOK_STUB_EXE}, {"x64", TALVOK_STUB64_EXE}};

const char *const ReadResourcesScript = TALVOK_SOURCE_DIR "/tests/native/builder/read_resources.py";
const char *const MakeIconsScript = TALVOK_SOURCE_DIR "/tests/icons/make_icons.py";

// pefile's facts about an executable, one per line (read_resources.py).
std::vector<std::string> PefileFacts(const std::string &path)
{
    ToolRun run = RunShell(std::string("/usr/bin/python3 ") + ReadResourcesScript + " " + ShellQuote(path));
    EXPECT_EQ(0, run.exit_code) << run.err;
    std::vector<std::string> lines;
    std::istringstream stream(run.out);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}
std::vector<std::string> FactsStartingWith(const std::vector<std::string> &facts, const std::string &prefix)
{
    std::vector<std::string> found;
    for (const std::string &line : facts)
        if (line.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line);
    return found;
}
bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Resources : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override
    {
        arch = GetParam();
        if (!FileExists(arch.stub))
            GTEST_SKIP() << "no " << arch.name << " stub at \"" << arch.stub << "\"";
        if (!HaveTool("wrestool") || !HaveTool("icotool") ||
            RunShell("/usr/bin/python3 -c 'import pefile'").exit_code != 0)
            GTEST_SKIP() << "icoutils or python3-pefile missing (scripts/install-deps.sh installs them)";
        MakeSamplePayload(dir / "payload");
        ASSERT_EQ(0, RunShell(std::string("python3 ") + MakeIconsScript + " " + ShellQuote(dir / "icons")).exit_code);
    }
    ToolRun Build(const std::string &out, std::vector<std::string> options)
    {
        options.insert(options.begin(), {"--arch", arch.name, "--command", "setup.bat"});
        return BuildFromDir(dir / "payload", out, options);
    }
    std::string Icon(const std::string &name) const { return dir / ("icons/" + name); }
    void ExpectSound(const std::string &path)
    {
        ToolRun run = RunTvsfx({"verify", path});
        EXPECT_EQ(0, run.exit_code) << path << ": " << run.out << run.err;
    }
    std::vector<std::string> AllOptions() const
    {
        return {"--icon",     Icon("png256.ico"), "--version",   "1.2.3.4",     "--product-name", "Mi Aplicación",
                "--company",  "Compañía Ñ",       "--description", "Instala Mi Aplicación", "--copyright",
                "© 2026 Compañía Ñ", "--elevation", "requireAdministrator", "--dpi-aware"};
    }
    TempDir dir;
    Arch arch;
};
INSTANTIATE_TEST_SUITE_P(Stubs, Resources, ::testing::ValuesIn(Arches),
                         [](const ::testing::TestParamInfo<Arch> &info) { return std::string(info.param.name); });

// The rewritten section: pefile finds nothing to complain about, the
// relocations are the stub's, every section before .rsrc is where it was
// with the same bytes, and what follows .rsrc moved up behind it.
TEST_P(Resources, RewrittenSectionKeepsTheRestOfTheStub)
{
    const std::string out = dir / "all.exe";
    ToolRun run = Build(out, AllOptions());
    ASSERT_EQ(0, run.exit_code) << run.err;
    const std::vector<std::string> before = PefileFacts(arch.stub), after = PefileFacts(out);
    EXPECT_EQ("warnings 0", after.at(0));
    EXPECT_EQ(FactsStartingWith(before, "relocations"), FactsStartingWith(after, "relocations"));

    const PeView stub_pe = ParsePe(ReadBytes(arch.stub)), out_pe = ParsePe(ReadBytes(out));
    const std::vector<uint8_t> stub = ReadBytes(arch.stub), image = ReadBytes(out);
    const ParameterView block = ParseParameterBlock(image);
    size_t rsrc = 0;
    while (rsrc < stub_pe.sections.size() && stub_pe.sections[rsrc].name != ".rsrc")
        rsrc++;
    ASSERT_LT(rsrc + 1, stub_pe.sections.size()) << ".rsrc and .reloc";
    for (size_t index = 0; index < rsrc; index++) {
        const PeSection &was = stub_pe.sections[index], is = out_pe.sections[index];
        EXPECT_EQ(was.virtual_address, is.virtual_address) << was.name;
        EXPECT_EQ(was.raw_offset, is.raw_offset) << was.name;
        EXPECT_EQ(was.raw_size, is.raw_size) << was.name;
    }
    // The bytes from the first section to .rsrc: the stub's, but for the block.
    const size_t first = stub_pe.size_of_headers, rsrc_at = stub_pe.sections[rsrc].raw_offset;
    std::vector<uint8_t> kept(image.begin() + first, image.begin() + rsrc_at);
    std::copy(stub.begin() + block.offset, stub.begin() + block.offset + 60, kept.begin() + (block.offset - first));
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), stub.begin() + first)) << "bytes before .rsrc changed";

    const PeSection &new_rsrc = out_pe.sections[rsrc], &reloc = out_pe.sections[rsrc + 1];
    EXPECT_GT(new_rsrc.virtual_size, stub_pe.sections[rsrc].virtual_size);
    EXPECT_EQ(".reloc", reloc.name);
    EXPECT_EQ(new_rsrc.raw_offset + new_rsrc.raw_size, reloc.raw_offset);
    const uint32_t align = out_pe.section_alignment;
    EXPECT_EQ((new_rsrc.virtual_address + new_rsrc.virtual_size + align - 1) / align * align, reloc.virtual_address);
    EXPECT_EQ(0u, out_pe.checksum);
    EXPECT_EQ(block.header, out_pe.sections.back().raw_offset) << "_talvok_ follows, holding the header";
    EXPECT_EQ(ReferenceCrc(image, block), block.crc) << "the self-check's CRC covers the new section";
    ExpectSound(out);
}

TEST_P(Resources, WithoutResourceOptionsTheStubsResourcesStay)
{
    ASSERT_EQ(0, Build(dir / "plain.exe", {}).exit_code);
    const std::vector<std::string> stub = PefileFacts(arch.stub), plain = PefileFacts(dir / "plain.exe");
    EXPECT_EQ(FactsStartingWith(stub, "resource "), FactsStartingWith(plain, "resource "));
    EXPECT_TRUE(FactsStartingWith(plain, "resource 16 ").empty()) << "no version resource";
    EXPECT_TRUE(FactsStartingWith(plain, "table").empty());
}

// The .ico table: what icotool made goes in whole, and wrestool gives back
// the same file; what is not an icon is refused with the reason and nothing
// is written.
TEST_P(Resources, IconFiles)
{
    std::vector<uint8_t> cursor = ReadBytes(Icon("one.ico"));
    cursor[2] = 2;
    WriteBytes(dir / "icons/cursor.ico", cursor);
    WriteBytes(dir / "icons/empty.ico", {});
    std::vector<uint8_t> wrong_size = ReadBytes(Icon("one.ico"));
    wrong_size[6] = 48;  // the directory says 48x48, the bitmap is 32x32
    WriteBytes(dir / "icons/wrong-size.ico", wrong_size);
    struct Case {
        const char *file;
        size_t images;         // 0: refused
        const char *message;   // the reason, when refused
    } const cases[] = {
        {"one.ico", 1, nullptr},
        {"several.ico", 3, nullptr},
        {"png256.ico", 4, nullptr},
        {"truncated.ico", 0, "truncated: image 3 (48x48) ends at"},
        {"renamed.ico", 0, "a PNG image, not an .ico file"},
        {"empty.ico", 0, "0 bytes, too short for an .ico file's header"},
        {"cursor.ico", 0, "a cursor (.cur), not an icon"},
        {"wrong-size.ico", 0, "image 1 (48x32): the directory says 48x32, its bitmap is 32x32"},
    };
    for (const Case &c : cases) {
        const std::string out = dir / (std::string(c.file) + ".exe");
        ToolRun run = Build(out, {"--icon", Icon(c.file)});
        if (!c.images) {
            EXPECT_EQ(1, run.exit_code) << c.file;
            EXPECT_NE(std::string::npos, run.err.find(std::string("--icon ") + Icon(c.file) + ": " + c.message))
                << c.file << ": " << run.err;
            EXPECT_FALSE(FileExists(out)) << c.file;
            continue;
        }
        ASSERT_EQ(0, run.exit_code) << c.file << ": " << run.err;
        ASSERT_EQ(0, RunShell("wrestool -x -t14 -n1 " + ShellQuote(out) + " > " + ShellQuote(dir / "got.ico")).exit_code);
        // wrestool writes the group's bytes once more after the last image
        // (it does so for the stub as windres made it too): compare up to there.
        const std::vector<uint8_t> given = ReadBytes(Icon(c.file)), got = ReadBytes(dir / "got.ico");
        EXPECT_TRUE(got.size() >= given.size() && std::equal(given.begin(), given.end(), got.begin()))
            << c.file << ": wrestool gives another .ico";
        ToolRun listing = RunShell("icotool -l " + ShellQuote(dir / "got.ico"));
        EXPECT_EQ(c.images, size_t(std::count(listing.out.begin(), listing.out.end(), '\n'))) << listing.out;
        // The stub's own images are gone: group 1 names only the new ones.
        ToolRun list = RunShell("wrestool -l -t3 " + ShellQuote(out));
        EXPECT_EQ(c.images, size_t(std::count(list.out.begin(), list.out.end(), '\n'))) << list.out;
        ExpectSound(out);
    }
}

TEST_P(Resources, VersionResourceAsPefileReadsIt)
{
    const std::string out = dir / "Instalar Mi App.exe";
    ASSERT_EQ(0, Build(out, AllOptions()).exit_code);
    const std::vector<std::string> facts = PefileFacts(out);
    EXPECT_TRUE(Contains(facts, "fixed 1.2.3.4 1.2.3.4 0x40004 1")) << "VOS_NT_WINDOWS32, VFT_APP";
    EXPECT_EQ(std::vector<std::string>{"table 0C0A04E4"}, FactsStartingWith(facts, "table"));
    EXPECT_EQ((std::vector<std::string>{"string CompanyName=Compañía Ñ", "string FileDescription=Instala Mi Aplicación",
                                        "string FileVersion=1.2.3.4", "string InternalName=Instalar Mi App",
                                        "string LegalCopyright=© 2026 Compañía Ñ",
                                        "string OriginalFilename=Instalar Mi App.exe",
                                        "string ProductName=Mi Aplicación", "string ProductVersion=1.2.3.4"}),
              FactsStartingWith(facts, "string"));
    EXPECT_TRUE(Contains(facts, "translation 0x0c0a 0x04e4")) << "Spanish (Spain), code page 1252";
    EXPECT_EQ(1u, FactsStartingWith(facts, "resource 16 1 3082 ").size());

    // An English installer's table is English (United States).
    ASSERT_EQ(0, Build(dir / "english.exe", {"--language", "en", "--version", "1.0"}).exit_code);
    const std::vector<std::string> english = PefileFacts(dir / "english.exe");
    EXPECT_EQ(std::vector<std::string>{"table 040904E4"}, FactsStartingWith(english, "table"));
    EXPECT_TRUE(Contains(english, "translation 0x0409 0x04e4"));
    EXPECT_EQ(1u, FactsStartingWith(english, "resource 16 1 1033 ").size());

    // Shorter versions are padded; bad ones and strings without a version refused.
    ASSERT_EQ(0, Build(dir / "two.exe", {"--version", "2.5"}).exit_code);
    EXPECT_TRUE(Contains(PefileFacts(dir / "two.exe"), "fixed 2.5.0.0 2.5.0.0 0x40004 1"));
    struct Refusal {
        std::vector<std::string> options;
        const char *message;
    } const refusals[] = {
        {{"--version", "1.2.3.4.5"}, "--version: \"1.2.3.4.5\" is not a version X.Y.Z.W"},
        {{"--version", "1.x"}, "is not a version"},
        {{"--version", "70000"}, "is not a version"},
        {{"--version", ""}, "is not a version"},
        {{"--company", "Sin versión"}, "--company goes into the version resource: it needs --version"},
        {{"--version", "1", "--product-name", "\xFF"}, "--product-name: \"\xFF\" is not UTF-8"},
    };
    for (const Refusal &refusal : refusals) {
        if (!NativeTvsfx() && refusal.options.back() == "\xFF")
            continue;  // a Windows command line is UTF-16: no byte that is not UTF-8 reaches tvsfx.exe
        ToolRun run = Build(dir / "refused.exe", refusal.options);
        EXPECT_EQ(1, run.exit_code) << refusal.message;
        EXPECT_NE(std::string::npos, run.err.find(refusal.message)) << run.err;
        EXPECT_FALSE(FileExists(dir / "refused.exe"));
    }
}

// The manifest as wrestool extracts it, parsed by Python's XML reader.
TEST_P(Resources, ManifestOptions)
{
    const std::string check =
        "import sys, xml.etree.ElementTree as ET\n"
        "root = ET.parse(sys.argv[1]).getroot()\n"
        "v1, v3 = '{urn:schemas-microsoft-com:asm.v1}', '{urn:schemas-microsoft-com:asm.v3}'\n"
        "level = root.find(v3 + 'trustInfo/' + v3 + 'security/' + v3 + 'requestedPrivileges/' + v3 +\n"
        "                  'requestedExecutionLevel')\n"
        "dpi = root.find(v3 + 'application/' + v3 + 'windowsSettings/'\n"
        "                '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware')\n"
        "controls = root.find(v1 + 'dependency/' + v1 + 'dependentAssembly/' + v1 + 'assemblyIdentity')\n"
        "print(level.get('level') if level is not None else '-', dpi.text if dpi is not None else '-',\n"
        "      controls.get('name'), controls.get('version'))\n";
    WriteText(dir / "check.py", check);
    struct Case {
        std::vector<std::string> options;
        const char *expected;
    } const cases[] = {
        {{}, "- - Microsoft.Windows.Common-Controls 6.0.0.0"},
        {{"--elevation", "asInvoker"}, "asInvoker - Microsoft.Windows.Common-Controls 6.0.0.0"},
        {{"--elevation", "highestAvailable"}, "highestAvailable - Microsoft.Windows.Common-Controls 6.0.0.0"},
        {{"--elevation=requireAdministrator", "--dpi-aware"},
         "requireAdministrator true Microsoft.Windows.Common-Controls 6.0.0.0"},
        {{"--dpi-aware"}, "- true Microsoft.Windows.Common-Controls 6.0.0.0"},
    };
    for (const Case &c : cases) {
        const std::string out = dir / "manifest.exe";
        ASSERT_EQ(0, Build(out, c.options).exit_code) << c.expected;
        ASSERT_EQ(0, RunShell("wrestool -x --raw -t24 -n1 " + ShellQuote(out) + " > " + ShellQuote(dir / "manifest.xml"))
                         .exit_code);
        ToolRun parsed = RunShell("python3 " + ShellQuote(dir / "check.py") + " " + ShellQuote(dir / "manifest.xml"));
        EXPECT_EQ(std::string(c.expected) + "\n", parsed.out) << parsed.err;
        // Laid out anew, the other resources keep their bytes, numbers and languages.
        const std::vector<std::string> stub = PefileFacts(arch.stub), built = PefileFacts(out);
        EXPECT_EQ(FactsStartingWith(stub, "resource 3 "), FactsStartingWith(built, "resource 3 ")) << c.expected;
        EXPECT_EQ(FactsStartingWith(stub, "resource 14 "), FactsStartingWith(built, "resource 14 ")) << c.expected;
        ExpectSound(out);
    }
    ToolRun run = Build(dir / "bad.exe", {"--elevation", "administrator"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos,
              run.err.find("--elevation: \"administrator\" is not asInvoker, highestAvailable or requireAdministrator"))
        << run.err;
}

// Signing and disk sets work on an installer whose resources were rewritten.
TEST_P(Resources, SignedAndSpannedInstallersWithEveryOption)
{
    std::vector<std::string> options = AllOptions();
    options.push_back("--sign-friendly");
    ASSERT_EQ(0, Build(dir / "unsigned.exe", options).exit_code);
    if (HaveTool("osslsigncode") && HaveTool("openssl")) {
        ASSERT_EQ(0, RunShell("openssl req -x509 -newkey rsa:2048 -nodes -keyout " + ShellQuote(dir / "key.pem") +
                              " -out " + ShellQuote(dir / "cert.pem") + " -subj /CN=test -days 2")
                         .exit_code);
        ToolRun sign = RunShell("osslsigncode sign -certs " + ShellQuote(dir / "cert.pem") + " -key " +
                                ShellQuote(dir / "key.pem") + " -in " + ShellQuote(dir / "unsigned.exe") + " -out " +
                                ShellQuote(dir / "signed.exe"));
        ASSERT_EQ(0, sign.exit_code) << sign.out << sign.err;
        ToolRun check = RunShell("osslsigncode verify -CAfile " + ShellQuote(dir / "cert.pem") + " -in " +
                                 ShellQuote(dir / "signed.exe"));
        EXPECT_EQ(0, check.exit_code) << check.out << check.err;
        EXPECT_NE(std::string::npos, check.out.find("Signature verification: ok")) << check.out;
        ExpectSound(dir / "signed.exe");
        EXPECT_EQ(PefileFacts(dir / "unsigned.exe").size(), PefileFacts(dir / "signed.exe").size());
    }
    std::vector<std::string> spanned = AllOptions();
    // The first disk holds the stub with every resource (about 66 KiB) and some archive.
    spanned.insert(spanned.end(), {"--span", "96k"});
    ASSERT_EQ(0, RunShell("head -c 100000 /dev/urandom > " + ShellQuote(dir / "payload/random.bin")).exit_code);
    ASSERT_EQ(0, RunShell("mkdir " + ShellQuote(dir / "set")).exit_code);
    ASSERT_EQ(0, Build(dir / "set/SETUP.EXE", spanned).exit_code);
    std::vector<std::string> disks = {"verify"}, entries = FolderEntries(dir / "set");
    std::sort(entries.begin(), entries.end());  // disk1, disk2, disk3: fewer than ten
    for (const std::string &entry : entries)
        if (entry.compare(0, 4, "disk") == 0)
            disks.push_back(dir / ("set/" + entry));
    EXPECT_GE(disks.size(), 3u) << "two disks or more";
    ToolRun run = RunTvsfx(disks);
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;
    EXPECT_EQ(1u, FactsStartingWith(PefileFacts(dir / "set/disk1/SETUP.EXE"), "table 0C0A04E4").size());
}

TEST_P(Resources, InfoShowsThemAndVerifyChecksTheTree)
{
    const std::string out = dir / "setup.exe";
    ASSERT_EQ(0, Build(out, AllOptions()).exit_code);
    ToolRun info = RunTvsfx({"info", out});
    ASSERT_EQ(0, info.exit_code) << info.err;
    std::cout << info.out.substr(0, info.out.find("parameter block"));
    for (const char *line : {"  icon               group 1, 4 images\n", "    256x256 32 bits  PNG   ",
                             "     32x32   4 bits  bitmap ",
                             "  version            file 1.2.3.4, product 1.2.3.4, strings 0C0A04E4 (language 0x0C0A)\n",
                             "    ProductName      \"Mi Aplicación\"\n", "    OriginalFilename \"setup.exe\"\n",
                             "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
                             ">true</dpiAware>"})
        EXPECT_NE(std::string::npos, info.out.find(line)) << line;
    ToolRun json = RunTvsfx({"info", "--json", out});
    EXPECT_NE(std::string::npos, json.out.find("\"ProductName\": \"Mi Aplicación\"")) << json.out;
    EXPECT_NE(std::string::npos, json.out.find("\"format\": \"PNG\"")) << json.out;

    // A damaged resource tree: verify says so on a line of its own.
    const PeView pe = ParsePe(ReadBytes(out));
    const PeSection *rsrc = nullptr;
    for (const PeSection &section : pe.sections)
        if (section.name == ".rsrc")
            rsrc = &section;
    ASSERT_NE(nullptr, rsrc);
    const size_t first_entry_target = rsrc->raw_offset + 16 + 4;  // the root's first entry: its subdirectory
    const struct {
        const char *name;
        uint32_t target;
        const char *fault;
    } damages[] = {
        {"far away", 0x80000000u | 0x7F0000, "a directory table lies outside the resource section"},
        {"back to the root", 0x80000000u, "the tree is deeper than type, name and language"},
        {"a leaf at the type level", 0x7F0000, "the tree is shallower than type, name and language"},
    };
    for (const auto &damage : damages) {
        std::vector<uint8_t> damaged = ReadBytes(out);
        for (int index = 0; index < 4; index++)
            damaged[first_entry_target + index] = static_cast<uint8_t>(damage.target >> (8 * index));
        WriteBytes(dir / "damaged.exe", damaged);
        ToolRun run = RunTvsfx({"verify", dir / "damaged.exe"});
        EXPECT_EQ(1, run.exit_code) << damage.name;
        EXPECT_NE(std::string::npos, run.out.find("damaged.exe: resources: " + std::string(damage.fault) + "\n"))
            << damage.name << ": " << run.out;
        ToolRun shown = RunTvsfx({"info", dir / "damaged.exe"});
        EXPECT_NE(std::string::npos, shown.out.find("resources            damaged: " + std::string(damage.fault)))
            << damage.name << ": " << shown.out;
    }
}

}  // namespace
}  // namespace builder_test
