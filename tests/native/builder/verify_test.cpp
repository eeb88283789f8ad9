// tvsfx verify: sound installers pass (plain, encrypted with the password,
// x64, Deflate64 members, signed with --sign-friendly); each kind of damage
// is found and named on its own line; exit codes 0, 1 and 2.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace builder_test {
namespace {

class Verify : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeSamplePayload(dir / "payload");
        ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "setup.exe").exit_code);
        image = ReadBytes(dir / "setup.exe");
        block = ParseParameterBlock(image);
        walk = WalkLikeTheStub(image, block.first_local_header);
        ASSERT_EQ("", walk.failure);
    }
    const LocalMember &Member(const std::string &name)
    {
        return *std::find_if(walk.members.begin(), walk.members.end(),
                             [&](const LocalMember &member) { return member.name == name; });
    }
    TempDir dir;
    std::vector<uint8_t> image;
    ParameterView block;
    LocalWalk walk;
};

TEST_F(Verify, SoundInstallersPass)
{
    ToolRun run = RunTvsfx({"verify", dir / "setup.exe"});
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find("sound: 6 members")) << run.out;
    EXPECT_EQ("", RunTvsfx({"verify", "--quiet", dir / "setup.exe"}).out);

    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "x64.exe", {"--arch", "x64", "--sign-friendly"}).exit_code);
    run = RunTvsfx({"verify", dir / "x64.exe"});
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;

    const std::string deflate64 = MakePeerZip(dir, "d64.zip", "7z a -tzip -mm=Deflate64 \"$OUT_ZIP\" . >/dev/null");
    ASSERT_FALSE(deflate64.empty());
    ASSERT_EQ(0, RunTvsfx({"build", "--quiet", "--out", dir / "d64.exe", "--from-zip", deflate64}).exit_code);
    run = RunTvsfx({"verify", dir / "d64.exe"});
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;
}

TEST_F(Verify, EncryptedInstallersNeedTheRightPassword)
{
    // Seeded, so that which members a wrong password gets past the one-byte
    // check of is the same on every run.
    ASSERT_EQ(0, RunTvsfxWith("TVSFX_TEST_RANDOM_SEED=1", {"build", "--quiet", "--out", dir / "secret.exe",
                                                          "--from-dir", dir / "payload", "--password", "right"})
                     .exit_code);
    const std::string secret = dir / "secret.exe";
    WriteText(dir / "password.txt", "right\n");
    EXPECT_EQ(0, RunTvsfx({"verify", secret, "--password", "right"}).exit_code);
    EXPECT_EQ(0, RunTvsfx({"verify", secret, "--password-file", dir / "password.txt"}).exit_code);

    ToolRun run = RunTvsfx({"verify", secret, "--password", "wrong"});
    EXPECT_EQ(1, run.exit_code);
    // Each encrypted member is a fault of its own; a wrong password passes a
    // member's one-byte check now and then and then fails its CRC.
    EXPECT_EQ(4, std::count(run.out.begin(), run.out.end(), '\n')) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("member \"readme.txt\":")) << run.out;

    run = RunTvsfx({"verify", secret});
    EXPECT_EQ(2, run.exit_code) << "encrypted, and no password given";
    EXPECT_NE(std::string::npos, run.err.find("give --password")) << run.err;
}

TEST_F(Verify, EachKindOfDamageIsFound)
{
    const LocalMember &readme = Member("readme.txt");
    const size_t central = walk.central_offset;  // the first central header is "docs/"'s
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
        const char *message;
    };
    std::vector<Case> cases;
    auto flipped = [&](size_t at) {
        std::vector<uint8_t> bytes = image;
        bytes[at] ^= 0x20;
        return bytes;
    };
    cases.push_back({"a byte of the stub's code", flipped(0x600), "self-check: CRC-32"});
    cases.push_back({"a byte of the SfxHeader", flipped(block.header + 3), "self-check: CRC-32"});
    cases.push_back({"a byte of member data", flipped(readme.data_offset + readme.compressed_bytes / 2),
                     "member \"readme.txt\":"});
    cases.push_back({"a local header's CRC", flipped(readme.offset + 14),
                     "member \"readme.txt\": the central directory says CRC"});
    cases.push_back({"a central header's size", flipped(central + 24),
                     "member \"docs/\": the central directory says size 0x20"});
    std::vector<uint8_t> truncated(image.begin(), image.end() - 600);
    cases.push_back({"a truncated file", truncated, "end record: none at"});
    // The end record 4 bytes further on, its comment 4 bytes shorter.
    std::vector<uint8_t> moved = image;
    moved.insert(moved.begin() + block.end_record, 4, 0);
    moved.resize(image.size());
    moved[block.end_record + 4 + 20] -= 4;
    cases.push_back({"a moved end record", moved, "end record: none at"});

    for (const Case &c : cases) {
        const std::string path = dir / "damaged.exe";
        WriteBytes(path, c.bytes);
        ToolRun run = RunTvsfx({"verify", path});
        EXPECT_EQ(1, run.exit_code) << c.name << ": " << run.out << run.err;
        EXPECT_NE(std::string::npos, run.out.find(c.message)) << c.name << ":\n" << run.out;
        size_t lines = 0;
        for (size_t at = 0; at < run.out.size(); at = run.out.find('\n', at) + 1, lines++)
            EXPECT_EQ(0u, run.out.compare(at, path.size() + 2, path + ": ")) << c.name << ": one fault per line";
        EXPECT_GE(lines, 1u) << c.name;
    }
}

TEST_F(Verify, SignedInstallersPassOnlyWhenBuiltSignFriendly)
{
    if (!HaveTool("osslsigncode") || !HaveTool("openssl"))
        return;
    ASSERT_EQ(0, RunShell("openssl req -x509 -newkey rsa:2048 -nodes -keyout " + ShellQuote(dir / "key.pem") +
                          " -out " + ShellQuote(dir / "cert.pem") + " -subj /CN=test -days 2")
                     .exit_code);
    for (bool friendly : {true, false}) {
        const std::string unsigned_path = dir / "unsigned.exe";
        const std::string signed_path = dir / (friendly ? "friendly.exe" : "plain.exe");
        ASSERT_EQ(0, BuildFromDir(dir / "payload", unsigned_path,
                                  friendly ? std::vector<std::string>{"--sign-friendly"} : std::vector<std::string>{})
                         .exit_code);
        ASSERT_EQ(0, RunShell("osslsigncode sign -certs " + ShellQuote(dir / "cert.pem") + " -key " +
                              ShellQuote(dir / "key.pem") + " -in " + ShellQuote(unsigned_path) + " -out " +
                              ShellQuote(signed_path))
                         .exit_code);
        ToolRun run = RunTvsfx({"verify", signed_path});
        if (friendly) {
            EXPECT_EQ(0, run.exit_code) << run.out;
            EXPECT_EQ(0, RunShell("unzip -t " + ShellQuote(signed_path)).exit_code);
            ToolRun info = RunTvsfx({"info", signed_path});
            EXPECT_NE(std::string::npos, info.out.find("certificate at 0x")) << info.out;
        } else {
            EXPECT_EQ(1, run.exit_code) << run.out;
            EXPECT_NE(std::string::npos, run.out.find("not built with --sign-friendly")) << run.out;
        }
    }
}

// What cannot be an installer is refused before it is read: a device that
// never ends, a pipe nobody writes to (both would be read until memory or
// patience runs out), a file of 2 GiB or more (sparse here, so nothing big
// is written). Under a time limit, so that a regression fails instead of
// hanging; Wine has neither the devices nor the pipes, so only natively.
TEST_F(Verify, WhatCannotBeAnInstallerIsRefusedUnread)
{
    if (!NativeTvsfx())
        GTEST_SKIP() << "devices and pipes are the native builder's";
    ASSERT_EQ(0, RunShell("mkfifo " + ShellQuote(dir / "pipe") + " && truncate -s 2500000000 " +
                          ShellQuote(dir / "huge.exe") + " && truncate -s 2147483648 " + ShellQuote(dir / "2g.exe"))
                     .exit_code);
    const struct {
        std::string file;
        const char *reason;
    } cases[] = {
        {"/dev/zero", "/dev/zero: not a regular file (a device or a pipe)"},
        {dir / "pipe", "pipe: not a regular file (a device or a pipe)"},
        {dir / "huge.exe", "huge.exe: 2500000000 bytes: 2 GiB or more"},
        {dir / "2g.exe", "2g.exe: 2147483648 bytes: 2 GiB or more"},
        {dir / "payload", "payload: a folder, not a file"},
    };
    for (const auto &c : cases) {
        for (const char *command : {"info", "verify"}) {
            if (std::string(command) == "verify" && c.file == dir / "payload")
                continue;  // a folder is a disk set's first disk to verify
            const ToolRun run = RunShell("ulimit -v 1000000; timeout 60 " + ShellQuote(TVSFX_EXE) + " " + command +
                                         " " + ShellQuote(c.file));
            EXPECT_EQ(1, run.exit_code) << command << " " << c.file << ": " << run.out << run.err;
            EXPECT_NE(std::string::npos, (run.out + run.err).find(c.reason))
                << command << " " << c.file << ": " << run.out << run.err;
        }
        // The same for what --from-zip and --stub take in.
        for (const char *option : {"--from-zip", "--stub"}) {
            const ToolRun run = RunShell("ulimit -v 1000000; timeout 60 " + ShellQuote(TVSFX_EXE) + " build --out " +
                                         ShellQuote(dir / "out.exe") + " " + option + " " + ShellQuote(c.file) +
                                         (std::string(option) == "--stub" ? " --from-dir " + ShellQuote(dir / "payload")
                                                                          : ""));
            EXPECT_EQ(1, run.exit_code) << option << " " << c.file << ": " << run.err;
            EXPECT_NE(std::string::npos, run.err.find(c.reason)) << option << " " << c.file << ": " << run.err;
            EXPECT_FALSE(FileExists(dir / "out.exe"));
        }
    }
}

// Directory entries that share one member's data are the zip bomb's trick:
// verify names each one, as the walk meets only the one local header.
TEST_F(Verify, MembersWhoseDataOverlapAreReported)
{
    ASSERT_EQ(0, RunShell("python3 " + ShellQuote(TALVOK_SOURCE_DIR "/tests/native/builder/make_overlapping_zip.py") +
                          " " + ShellQuote(dir / "bomb.zip") + " 1000")
                     .exit_code);
    ASSERT_EQ(0, RunTvsfx({"build", "--quiet", "--out", dir / "bomb.exe", "--from-zip", dir / "bomb.zip",
                           "--verbatim"})
                     .exit_code);
    const ToolRun run = RunTvsfx({"verify", dir / "bomb.exe"});
    EXPECT_EQ(1, run.exit_code) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("member \"copy0001.txt\": the central directory puts it at 0x"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("the local header of \"copy0000.txt\" too: members whose data "
                                              "overlap"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("member \"copy0999.txt\": the central directory puts it at"))
        << run.out;
}

TEST_F(Verify, ExitCodes)
{
    const std::string out = dir / "setup.exe";
    struct Case {
        std::vector<std::string> arguments;
        int exit_code;
        const char *message;  // in stdout (faults) or stderr (usage)
    } const cases[] = {
        {{"verify"}, 2, "which installer?"},
        {{"verify", out, out}, 2, "one installer at a time"},
        {{"verify", out, "--json"}, 2, "unknown option --json"},
        {{"verify", out, "--password"}, 2, "--password needs a value"},
        {{"verify", out, "--password", std::string(100, 'p')}, 2, "at most 99"},
        {{"verify", dir / "missing.exe"}, 1, "cannot read it"},
        {{"verify", dir / "payload/readme.txt"}, 1, "not an executable"},
        {{"info"}, 2, "which installer?"},
        {{"info", dir / "payload/readme.txt"}, 1, "no ParameterBlock"},
    };
    for (const Case &c : cases) {
        ToolRun run = RunTvsfx(c.arguments);
        EXPECT_EQ(c.exit_code, run.exit_code) << c.message;
        EXPECT_NE(std::string::npos, (run.out + run.err).find(c.message)) << c.message << ": " << run.out << run.err;
    }
}

}  // namespace
}  // namespace builder_test
