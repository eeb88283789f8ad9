// --password and --password-file: every member encrypted (with the
// traditional cipher when asked, so that the peers Info-ZIP unzip and 7-Zip
// extract it with the password and refuse it without; the check byte checked
// with the tests' own cipher); archives from other tools encrypted on the way
// in; and the passwords refused. AES members: aes_test.cpp.
#include "builder_support.h"

#include <gtest/gtest.h>

namespace builder_test {
namespace {

class Encryption : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(dir / "payload"); }
    TempDir dir;
};

// Both peers extract exactly the input with the password and refuse it with
// a wrong one.
void ExpectPeersExtract(const TempDir &dir, const std::string &installer, const std::string &input,
                        const std::string &password)
{
    const std::string out = ShellQuote(installer);
    ToolRun run = RunShell("unzip -qq -P " + ShellQuote(password) + " " + out + " -d " + ShellQuote(dir / "by-unzip"));
    ASSERT_EQ(0, run.exit_code) << run.out << run.err;
    EXPECT_EQ(0, RunShell("diff -r " + ShellQuote(input) + " " + ShellQuote(dir / "by-unzip")).exit_code);
    run = RunShell("7z x -tzip -p" + ShellQuote(password) + " -o" + ShellQuote(dir / "by-7z") + " " + out);
    ASSERT_EQ(0, run.exit_code) << run.out << run.err;
    EXPECT_EQ(0, RunShell("diff -r " + ShellQuote(input) + " " + ShellQuote(dir / "by-7z")).exit_code);
    EXPECT_NE(0, RunShell("unzip -t -P wrong " + out).exit_code);
    EXPECT_NE(0, RunShell("7z t -tzip -pwrong " + out).exit_code);
}

TEST_F(Encryption, FromDirEveryFileMemberIsEncryptedAndThePeersExtractIt)
{
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "setup.exe",
                              {"--password", "Contraseña 1", "--encryption", "zipcrypto"})
                     .exit_code);
    const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
    const ParameterView block = ParseParameterBlock(image);
    EXPECT_EQ(0x100u, block.flags) << "bit 8, so that the installer asks";
    const LocalWalk walk = WalkLikeTheStub(image, block.first_local_header);
    ASSERT_EQ("", walk.failure);
    const std::string password = "Contrase\xF1" "a 1";  // as the stub compares it, in code page 1252
    for (const LocalMember &member : walk.members) {
        if (member.name.back() == '/') {
            EXPECT_EQ(0, member.flags & 1) << member.name << ": folder entries carry no data";
            continue;
        }
        EXPECT_EQ(1, member.flags & 1) << member.name;
        EXPECT_EQ(member.crc >> 24, EncryptionCheckByte(image, member, password)) << member.name;
        std::vector<uint8_t> content;
        ASSERT_TRUE(UnpackMember(image, member, password, content)) << member.name;
        EXPECT_TRUE(content == ReadBytes(dir / ("payload/" + member.name))) << member.name;
    }
    ExpectPeersExtract(dir, dir / "setup.exe", dir / "payload", password);
}

TEST_F(Encryption, PasswordFileGivesTheSameInstallerAsThePasswordItHolds)
{
    WriteText(dir / "password.txt", "open sesame\r\n");
    const std::string seeded = "SOURCE_DATE_EPOCH=0 TVSFX_TEST_RANDOM_SEED=7";
    ToolRun run = RunTvsfxWith(seeded, {"build", "--quiet", "--out", dir / "a.exe", "--from-dir", dir / "payload",
                                        "--password", "open sesame"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    run = RunTvsfxWith(seeded, {"build", "--quiet", "--out", dir / "b.exe", "--from-dir", dir / "payload",
                                "--password-file", dir / "password.txt"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    EXPECT_TRUE(ReadBytes(dir / "a.exe") == ReadBytes(dir / "b.exe"));
}

TEST_F(Encryption, FromZipPlainArchivesAreEncryptedOnTheWay)
{
    struct Case {
        const char *name;
        const char *command;
    } const cases[] = {
        {"info-zip.zip", "zip -q -r -9 \"$OUT_ZIP\" ."},
        {"streamed.zip", "zip -q -r - . | cat >\"$OUT_ZIP\""},
        {"deflate64.zip", "7z a -tzip -mm=Deflate64 \"$OUT_ZIP\" . >/dev/null"},
    };
    for (const Case &c : cases) {
        const std::string zip = MakePeerZip(dir, c.name, c.command);
        ASSERT_FALSE(zip.empty()) << c.name;
        const std::string out = dir / (std::string(c.name) + ".exe");
        ToolRun run = RunTvsfx({"build", "--quiet", "--out", out, "--from-zip", zip, "--password", "pw"});
        ASSERT_EQ(0, run.exit_code) << c.name << ": " << run.err;
        EXPECT_EQ(0, RunShell("7z t -tzip -ppw " + ShellQuote(out)).exit_code) << c.name;
        EXPECT_NE(0, RunShell("7z t -tzip -pwrong " + ShellQuote(out)).exit_code) << c.name;
        run = RunTvsfx({"verify", "--quiet", out, "--password", "pw"});
        EXPECT_EQ(0, run.exit_code) << c.name << ": " << run.out << run.err;
    }
    const std::string encrypted = MakePeerZip(dir, "secret.zip", "zip -q -r -P old \"$OUT_ZIP\" .");
    ToolRun run = RunTvsfx({"build", "--quiet", "--out", dir / "twice.exe", "--from-zip", encrypted,
                            "--password", "new"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("encrypted already")) << run.err;
    EXPECT_FALSE(FileExists(dir / "twice.exe"));
}

TEST_F(Encryption, PasswordsTheExtractorCouldNotTakeAreRefused)
{
    WriteText(dir / "two-lines.txt", "one\ntwo\n");
    WriteText(dir / "empty.txt", "\n");
    const std::string out = dir / "setup.exe";
    const std::vector<std::string> base = {"build", "--quiet", "--out", out, "--from-dir", dir / "payload"};
    struct Case {
        std::vector<std::string> options;
        const char *message;
    } const cases[] = {
        {{"--password", std::string(100, 'p')}, "100 bytes; the extractor accepts at most 99"},
        // Windows' command line is UTF-16: bytes that are not UTF-8 never reach tvsfx.exe.
        {{"--password", NativeTvsfx() ? std::string(50, '\xE2') : std::string(100, 'p')},
         NativeTvsfx() ? "not valid UTF-8" : "at most 99"},
        {{"--password", "\xC5\x81\xC3\xB3" "d\xC5\xBA"}, "CP1252"},
        {{"--password", ""}, "the password is empty"},
        {{"--password-file", dir / "empty.txt"}, "the password is empty"},
        {{"--password-file", dir / "two-lines.txt"}, "more than one line"},
        {{"--password-file", dir / "missing.txt"}, "cannot read it"},
        {{"--password", "a", "--password-file", dir / "two-lines.txt"}, "not both"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> arguments = base;
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ToolRun run = RunTvsfx(arguments);
        EXPECT_EQ(1, run.exit_code) << c.message;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.message << ": " << run.err;
        EXPECT_FALSE(FileExists(out)) << c.message;
    }
    std::vector<std::string> arguments = base;
    arguments.insert(arguments.end(), {"--password", std::string(99, 'p')});
    EXPECT_EQ(0, RunTvsfx(arguments).exit_code) << "99 bytes is the most the extractor takes";
}

}  // namespace
}  // namespace builder_test
