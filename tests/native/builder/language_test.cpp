// tvsfx build --language: the stub of the language asked for, named by
// info and --json and checked by verify; a language refused where its
// texts cannot be shown, and a --stub of another language refused.
#include "builder_support.h"
#include "stub_language.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace builder_test {
namespace {

class Language : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(dir / "payload"); }
    std::string Out(const std::string &name) const { return dir / name; }
    TempDir dir;
};

TEST_F(Language, InfoAndJsonNameTheLanguageAndVerifyUnpacksItsTables)
{
    const struct {
        std::vector<std::string> options;
        const char *language;
    } cases[] = {
        {{}, "es"},
        {{"--language", "es"}, "es"},
        {{"--language", "en"}, "en"},
        {{"--language", "en", "--arch", "x64"}, "en"},
    };
    for (const auto &c : cases) {
        const std::string out = Out(std::string(c.language) + ".exe");
        std::remove(out.c_str());
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--command", "setup.bat"});
        const ToolRun build = BuildFromDir(dir / "payload", out, options);
        ASSERT_EQ(0, build.exit_code) << build.err;
        const ToolRun info = RunTvsfx({"info", out});
        EXPECT_NE(std::string::npos, info.out.find(std::string("language             ") + c.language + "\n"))
            << info.out;
        const ToolRun json = RunTvsfx({"info", "--json", out});
        EXPECT_NE(std::string::npos, json.out.find(std::string("\"language\": \"") + c.language + "\"")) << json.out;
        const ToolRun verify = RunTvsfx({"verify", out});
        EXPECT_EQ(0, verify.exit_code) << verify.out;
    }
}

// The English table altered inside the stub: verify finds no table it knows
// and says so (beside the self-check's own finding); info calls it unknown.
TEST_F(Language, VerifyRefusesAStubWhoseTableIsAltered)
{
    const std::string out = Out("en.exe");
    ASSERT_EQ(0, BuildFromDir(dir / "payload", out, {"--language", "en"}).exit_code);
    std::vector<uint8_t> image = ReadBytes(out);
    const StubLanguage &english = *FindStubLanguage("en");
    auto blob = std::search(image.begin(), image.end(), english.message_blob,
                            english.message_blob + english.message_blob_bytes);
    ASSERT_NE(image.end(), blob);
    blob[english.message_blob_bytes / 2] ^= 0x01;
    WriteBytes(out, image);
    const ToolRun verify = RunTvsfx({"verify", out});
    EXPECT_EQ(1, verify.exit_code);
    EXPECT_NE(std::string::npos, verify.out.find("stub: it carries no message table this tvsfx knows")) << verify.out;
    EXPECT_NE(std::string::npos, RunTvsfx({"info", out}).out.find("language             unknown"));
}

TEST_F(Language, RefusedWhereItsTextsCannotBeShownOrTheStubSpeaksAnother)
{
    const struct {
        std::vector<std::string> options;
        int exit_code;
        const char *says;
    } cases[] = {
        // Spanish's accented letters are not in the Cyrillic code page.
        {{"--language", "es", "--codepage", "CP1251"}, 1, "--language es: the installer's texts cannot be shown"},
        // English is ASCII: shown in every code page, double-byte ones too.
        {{"--language", "en", "--codepage", "CP1251"}, 0, ""},
        {{"--language", "en", "--codepage", "CP932"}, 0, ""},
        // The default is built for any code page, as before.
        {{"--codepage", "CP1251"}, 0, ""},
        {{"--language", "fr"}, 1, "--language: \"fr\" is not one of es, en"},
        {{"--language", "en", "--stub", StubPath()}, 1, "speaks es, not en as --language says"},
    };
    for (const auto &c : cases) {
        const std::string out = Out("case.exe");
        std::remove(out.c_str());
        const ToolRun run = BuildFromDir(dir / "payload", out, c.options);
        EXPECT_EQ(c.exit_code, run.exit_code) << c.options[1] << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.says)) << run.err;
        EXPECT_EQ(c.exit_code == 0, FileExists(out));
    }
}

}  // namespace
}  // namespace builder_test
