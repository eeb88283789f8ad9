// The SfxHeader as the stub will unpack it (inflated here with zlib): the
// eight fields in order, the title only with flags bit 4, the texts in code
// page 1252, the field bounds and the limits of the stub's work areas.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <random>

namespace builder_test {
namespace {

class SfxHeader : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(payload); }
    // The header fields of the installer last built at setup.
    std::vector<std::string> Fields()
    {
        const std::vector<uint8_t> image = ReadBytes(setup);
        return HeaderFields(image, ParseParameterBlock(image));
    }
    TempDir dir;
    const std::string payload = dir / "payload";
    const std::string setup = dir / "setup.exe";  // where each build goes
};

TEST_F(SfxHeader, EightFieldsInTheirOrder)
{
    ToolRun run = BuildFromDir(payload, setup, {"--about", "A", "--command", ".\\SETUP", "--parameters", "-q",
                                                "--text", "T", "--title", "Ti", "--intro", "I?", "--info", "N"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    EXPECT_EQ((std::vector<std::string>{"A", ".\\SETUP", "-q", "", "T", "Ti", "I?", "N"}), Fields());
    EXPECT_EQ(0x10u, ParseParameterBlock(ReadBytes(setup)).flags) << "a title sets bit 4";
}

TEST_F(SfxHeader, WithoutTitleHeaderTitleIsEmptyAndHeaderInfoTextIsTheOptionLine)
{
    ASSERT_EQ(0, BuildFromDir(payload, setup, {"--command", "setup.bat", "--auto"}).exit_code);
    const std::vector<std::string> fields = Fields();
    ASSERT_EQ(8u, fields.size());
    EXPECT_EQ("", fields[5]) << "the title field";
    EXPECT_EQ(0x200u, ParseParameterBlock(ReadBytes(setup)).flags);
    const std::string &info = fields[7];  // the info text
    EXPECT_EQ(0u, info.find("tvsfx --flags 0x00000200")) << info;
    EXPECT_NE(std::string::npos, info.find("--auto")) << info;
    EXPECT_NE(std::string::npos, info.find("--command setup.bat")) << info;

    // A title with bit 4 cleared by --flags would be misread by the stub.
    ToolRun run = BuildFromDir(payload, setup, {"--flags", "0", "--title", "x"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("bit 4")) << run.err;
    for (const std::string &name : FolderEntries(dir.path()))
        EXPECT_EQ(std::string::npos, name.find(".tmp-")) << "left behind: " << name;
}

TEST_F(SfxHeader, TextsBecomeCodePage1252Bytes)
{
    ASSERT_EQ(0, BuildFromDir(payload, setup, {"--text", "Diálogo: ñ € ü", "--title", "Título"}).exit_code);
    EXPECT_EQ("Di\xE1logo: \xF1 \x80 \xFC", Fields()[4]);
    EXPECT_EQ("T\xEDtulo", Fields()[5]);

    // Windows' command line is UTF-16: tvsfx.exe gets UTF-8 text, never bare bytes.
    const std::string raw = NativeTvsfx() ? "\xE1\xF1" : "\xC3\xB1";
    ASSERT_EQ(0, BuildFromDir(payload, setup, {"--codepage", "raw", "--text", raw}).exit_code);
    EXPECT_EQ(raw, Fields()[4]) << "raw passes the bytes";

    ToolRun run = BuildFromDir(payload, setup, {"--text", "Łódź"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("CP1252")) << run.err;
    run = BuildFromDir(payload, setup, {"--codepage", "NO-SUCH-CODEPAGE", "--text", "x"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("NO-SUCH-CODEPAGE")) << run.err;
}

// Each field's bound is the stub's buffer size, NUL included: one byte less
// than the bound fits, the bound itself does not, unless --unchecked-fields.
// (The about text and the command also go into messages, which leave them
// less room: message_fit_test.cpp.)
TEST_F(SfxHeader, FieldBounds)
{
    struct Case {
        const char *option;
        size_t bound;
        size_t field;
        bool message_limited;  // shorter than the bound to fit its messages
    } const cases[] = {
        {"--about", 516, 0, true}, {"--command", 257, 1, true}, {"--parameters", 257, 2, false},
        {"--text", 257, 4, false}, {"--title", 65, 5, false},   {"--intro", 514, 6, false},
        {"--info", 512, 7, false},
    };
    for (const Case &c : cases) {
        const std::string fits(c.bound - 1, 'x');
        ToolRun run = BuildFromDir(payload, setup,
                                   c.message_limited ? std::vector<std::string>{c.option, fits, "--unchecked-fields"}
                                                     : std::vector<std::string>{c.option, fits});
        ASSERT_EQ(0, run.exit_code) << c.option << ": " << run.err;
        EXPECT_EQ(fits, Fields()[c.field]) << c.option;

        const std::string over(c.bound, 'y');
        TempDir work;
        run = BuildFromDir(payload, work / "out.exe", {c.option, over});
        EXPECT_EQ(1, run.exit_code) << c.option;
        EXPECT_NE(std::string::npos, run.err.find(c.option)) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(std::to_string(c.bound - 1))) << run.err;
        EXPECT_TRUE(FolderEntries(work.path()).empty()) << c.option;

        run = BuildFromDir(payload, setup, {c.option, over, "--unchecked-fields"});
        ASSERT_EQ(0, run.exit_code) << c.option << ": " << run.err;
        EXPECT_EQ(over, Fields()[c.field]) << c.option << " written in full for the stub to refuse";
    }
}

// The stub unpacks into 2304 bytes from at most 1500: longer headers are
// refused whatever the field bounds allow, also with --unchecked-fields.
TEST_F(SfxHeader, HeaderMustFitTheStubsWorkAreas)
{
    // Every field within its bound, 2315 bytes in all.
    const std::vector<std::string> long_but_valid = {
        "--about", std::string(515, 'a'), "--intro", std::string(513, 'i'), "--info", std::string(511, 'n'),
        "--text", std::string(256, 't'), "--command", std::string(256, 'c'), "--parameters", std::string(256, 'p')};
    ToolRun run = BuildFromDir(payload, setup, long_but_valid);
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("2315 bytes together, over the stub's limit of 2304")) << run.err;

    // Incompressible text: within 2304 unpacked, over 1500 compressed.
    std::mt19937 random(1);
    auto noise = [&](size_t length) {
        std::string text;
        for (size_t index = 0; index < length; index++)
            text += static_cast<char>(33 + random() % 94);
        return text;
    };
    const std::vector<std::string> incompressible = {"--about", noise(515), "--intro", noise(513), "--info",
                                                     noise(511), "--text", noise(256), "--command", noise(256)};
    for (bool unchecked : {false, true}) {
        std::vector<std::string> arguments = incompressible;
        if (unchecked)
            arguments.push_back("--unchecked-fields");
        run = BuildFromDir(payload, setup, arguments);
        EXPECT_EQ(1, run.exit_code);
        EXPECT_NE(std::string::npos, run.err.find("compressed, over the stub's limit of 1500")) << run.err;
    }
    EXPECT_FALSE(FileExists(setup));
}

}  // namespace
}  // namespace builder_test
