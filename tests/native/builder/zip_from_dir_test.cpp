// --from-dir: the archive the builder makes from a folder, checked with the
// peer tools (Info-ZIP unzip, 7-Zip), with zlib, and walked the way the stub
// walks it; plus the folder contents it refuses.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <zlib.h>

#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <utime.h>

namespace builder_test {
namespace {

class FromDir : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(dir / "payload"); }
    TempDir dir;
};

TEST_F(FromDir, PeerToolsTestAndExtractTheInput)
{
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "setup.exe").exit_code);
    const std::string out = ShellQuote(dir / "setup.exe");
    ToolRun run = RunShell("unzip -t " + out);
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;
    run = RunShell("7z t -tzip " + out);
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;

    run = RunShell("unzip -qq " + out + " -d " + ShellQuote(dir / "unpacked"));
    ASSERT_EQ(0, run.exit_code) << run.out << run.err;
    run = RunShell("diff -r " + ShellQuote(dir / "payload") + " " + ShellQuote(dir / "unpacked"));
    EXPECT_EQ(0, run.exit_code) << run.out;
}

TEST_F(FromDir, MembersAsTheStubReadsThem)
{
    // A known local time for one file: 2021-03-04 05:06:08.
    struct tm when = {};
    when.tm_year = 121, when.tm_mon = 2, when.tm_mday = 4, when.tm_hour = 5, when.tm_min = 6, when.tm_sec = 8;
    when.tm_isdst = -1;
    struct utimbuf times = {mktime(&when), mktime(&when)};
    ASSERT_EQ(0, utime((dir / "payload/readme.txt").c_str(), &times));
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "setup.exe").exit_code);

    const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
    const ParameterView block = ParseParameterBlock(image);
    const LocalWalk walk = WalkLikeTheStub(image, block.first_local_header);
    ASSERT_EQ("", walk.failure);
    struct Expected {
        const char *name;
        uint16_t method;
    } const expected[] = {
        {"docs/", 0}, {"docs/empty/", 0}, {"docs/noise.bin", 0},  // random bytes: stored
        {"docs/zero.txt", 0}, {"readme.txt", 8},
        // 28 bytes: libdeflate's stream is no smaller; zlib's (tvsfx.exe) is.
        {"setup.bat", uint16_t(NativeTvsfx() ? 0 : 8)},
    };
    ASSERT_EQ(std::size(expected), walk.members.size());
    const std::vector<CentralMember> central = CentralDirectory(image, walk.end_record);
    ASSERT_EQ(walk.members.size(), central.size());
    for (size_t index = 0; index < walk.members.size(); index++) {
        const LocalMember &member = walk.members[index];
        EXPECT_EQ(expected[index].name, member.name);
        EXPECT_EQ(expected[index].method, member.method) << member.name;
        EXPECT_EQ(0, member.flags) << member.name;
        EXPECT_EQ(member.offset, central[index].local_offset) << member.name << ": absolute offsets";
        EXPECT_EQ(member.crc, central[index].crc) << member.name;
        EXPECT_EQ(member.compressed_bytes, central[index].compressed_bytes) << member.name;
        if (member.name.back() == '/')
            continue;
        std::vector<uint8_t> content;
        ASSERT_TRUE(UnpackMember(image, member, "", content)) << member.name;
        EXPECT_TRUE(content == ReadBytes(dir / "payload/" + member.name)) << member.name;
        EXPECT_EQ(crc32(0, content.data(), static_cast<uInt>(content.size())), member.crc) << member.name;
        EXPECT_EQ(content.size(), member.uncompressed_bytes) << member.name;
    }
    const LocalMember &readme = walk.members[4];
    EXPECT_EQ((2021 - 1980) << 9 | 3 << 5 | 4, readme.date);
    EXPECT_EQ(5 << 11 | 6 << 5 | 8 / 2, readme.time);
}

TEST_F(FromDir, EmptyFolderGivesAnArchiveOfItsEndRecordOnly)
{
    std::filesystem::create_directories(dir / "nothing");
    ToolRun run = BuildFromDir(dir / "nothing", dir / "empty.exe");
    ASSERT_EQ(0, run.exit_code) << run.err;
    const std::vector<uint8_t> image = ReadBytes(dir / "empty.exe");
    const ParameterView block = ParseParameterBlock(image);
    EXPECT_EQ(block.first_local_header, block.end_record);
    EXPECT_EQ(0u, block.total_size);
    EXPECT_EQ("", WalkLikeTheStub(image, block.first_local_header).failure);
    EXPECT_EQ(0, RunShell("7z t -tzip " + ShellQuote(dir / "empty.exe")).exit_code);
    ToolRun run_unzip = RunShell("unzip -t " + ShellQuote(dir / "empty.exe"));
    EXPECT_NE(std::string::npos, (run_unzip.out + run_unzip.err).find("zipfile is empty")) << run_unzip.out;
}

// The output of an earlier build inside the folder is not taken in again.
TEST_F(FromDir, OutputInsideTheFolderIsLeftOut)
{
    const std::string out = dir / "payload/setup.exe";
    ASSERT_EQ(0, BuildFromDir(dir / "payload", out).exit_code);
    const std::vector<uint8_t> first = ReadBytes(out);
    ASSERT_EQ(0, BuildFromDir(dir / "payload", out).exit_code);
    EXPECT_TRUE(first == ReadBytes(out));
}

// Files that repeat another's bytes are each paid for in full (members never
// share data): the summary counts them and what they cost, and a file that
// differs in one byte, or an empty one, is no repeat.
TEST_F(FromDir, SummaryCountsRepeatedContent)
{
    const std::string tree = dir / "repeats";
    std::filesystem::create_directories(tree + "/b");
    std::string content(50000, '\0');
    for (size_t at = 0; at < content.size(); at++)
        content[at] = char((at * 2654435761u) >> 13);
    WriteText(tree + "/a.bin", content);
    WriteText(tree + "/b/copy1.bin", content);
    WriteText(tree + "/b/copy2.bin", content);
    std::string near = content;
    near[25000] ^= 1;
    WriteText(tree + "/b/near.bin", near);
    WriteText(tree + "/empty1", "");
    WriteText(tree + "/empty2", "");
    ToolRun run = RunTvsfx({"build", "--out", dir / "setup.exe", "--from-dir", tree});
    ASSERT_EQ(0, run.exit_code) << run.err;
    const size_t line = run.out.find("repeated        2 members hold the same bytes as another");
    EXPECT_NE(std::string::npos, line) << run.out;

    // Their cost is the compressed size of the two copies, as the archive holds them.
    const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
    const LocalWalk walk = WalkLikeTheStub(image, ParseParameterBlock(image).first_local_header);
    uint64_t copies = 0;
    for (const LocalMember &member : walk.members)
        if (member.name.find("copy") != std::string::npos)
            copies += member.compressed_bytes;
    char expected[32];
    std::snprintf(expected, sizeof expected, ": %.1f MB", double(copies) / 1e6);
    EXPECT_NE(std::string::npos, run.out.find(expected, line)) << run.out;

    run = RunTvsfx({"build", "--out", dir / "plain.exe", "--from-dir", dir / "payload"});
    EXPECT_EQ(std::string::npos, run.out.find("repeated ")) << run.out;
}

TEST_F(FromDir, NamesUpTo260BytesInCodePage1252)
{
    const std::string folder = dir / "names";
    const std::string longest = std::string(200, 'd') + "/" + std::string(59, 'f');  // 260 bytes
    std::filesystem::create_directories(folder + "/" + std::string(200, 'd'));
    WriteText(folder + "/" + longest, "x");
    WriteText(folder + "/café.txt", "y");
    ASSERT_EQ(0, BuildFromDir(folder, dir / "names.exe").exit_code);
    const std::vector<uint8_t> image = ReadBytes(dir / "names.exe");
    const LocalWalk walk = WalkLikeTheStub(image, ParseParameterBlock(image).first_local_header);
    ASSERT_EQ(3u, walk.members.size());
    EXPECT_EQ("caf\xE9.txt", walk.members[0].name);
    EXPECT_EQ(longest, walk.members[2].name);
}

// File names Linux allows and Windows does not take as they are: refused
// with the name and the reason, nothing at --out. (Wine shows such Linux
// names to tvsfx.exe under other names, so the native builder only.)
TEST_F(FromDir, NamesWindowsCannotCreateAreRefused)
{
    if (!NativeTvsfx())
        GTEST_SKIP() << "Wine renames these files for tvsfx.exe";
    const struct {
        std::vector<std::string> files;
        const char *shown;
        const char *reason;
    } cases[] = {
        {{"a:b"}, "a:b", "a ':'"},
        {{"q?.txt"}, "q?.txt", "a '?'"},
        {{"a|b"}, "a|b", "a '|'"},
        {{"trail."}, "trail.", "ends in a dot or a blank"},
        {{"..."}, "...", "ends in a dot or a blank"},
        {{"CON"}, "CON", "is a device name"},
        {{"docs/Aux.c"}, "docs/Aux.c", "is a device name"},
        {{"tab\there"}, "tab\there", "a control character (0x09)"},
        {{"Readme.txt", "readme.txt"}, "readme.txt", "when case is ignored"},
        {{"Docs/a.txt", "docs"}, "docs", "needs a folder"},
    };
    for (const auto &c : cases) {
        TempDir work;
        const std::string folder = work / "in";
        for (const std::string &file : c.files) {
            std::filesystem::create_directories(std::filesystem::path(folder + "/" + file).parent_path());
            WriteText(folder + "/" + file, "x");
        }
        const ToolRun run = BuildFromDir(folder, work / "out.exe");
        EXPECT_EQ(1, run.exit_code) << c.shown;
        EXPECT_NE(std::string::npos, run.err.find(std::string(c.shown) + ": ")) << c.shown << ": " << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.reason)) << c.shown << ": " << run.err;
        EXPECT_FALSE(FileExists(work / "out.exe")) << c.shown;
    }
}

// --codepage takes the ANSI code pages of Windows only: the stub uses texts
// and names as bytes of one.
TEST_F(FromDir, CodepagesTheStubCannotUseAreRefused)
{
    for (const char *codepage : {"UTF-8", "CP65001", "UTF-16", "CP850", "ISO-8859-1"}) {
        for (const std::vector<std::string> &arguments :
             {std::vector<std::string>{"build", "--out", dir / "out.exe", "--from-dir", dir / "payload"},
              std::vector<std::string>{"info", dir / "payload/readme.txt"}}) {
            std::vector<std::string> with = arguments;
            with.insert(with.end(), {"--codepage", codepage});
            const ToolRun run = RunTvsfx(with);
            EXPECT_NE(0, run.exit_code) << codepage;
            EXPECT_NE(std::string::npos, run.err.find("is not an ANSI code page of Windows")) << codepage << ": "
                                                                                              << run.err;
        }
        EXPECT_FALSE(FileExists(dir / "out.exe")) << codepage;
    }
    EXPECT_EQ(0, BuildFromDir(dir / "payload", dir / "out.exe", {"--codepage", "CP1251"}).exit_code);
}

// A link to a file inside the folder is packed as that file's content.
TEST_F(FromDir, LinksInsideTheFolderAreFollowed)
{
    const std::string folder = dir / "linked";
    std::filesystem::create_directories(folder + "/docs");
    WriteText(folder + "/docs/real.txt", "the real content\n");
    std::filesystem::create_symlink("docs/real.txt", folder + "/alias.txt");
    std::filesystem::create_symlink("../alias.txt", folder + "/docs/chain.txt");  // a link to a link
    ASSERT_EQ(0, BuildFromDir(folder, dir / "linked.exe").exit_code);
    const std::vector<uint8_t> image = ReadBytes(dir / "linked.exe");
    const LocalWalk walk = WalkLikeTheStub(image, ParseParameterBlock(image).first_local_header);
    ASSERT_EQ(4u, walk.members.size());
    for (const LocalMember &member : walk.members) {
        if (member.name == "docs/")
            continue;
        std::vector<uint8_t> content;
        ASSERT_TRUE(UnpackMember(image, member, "", content)) << member.name;
        EXPECT_EQ("the real content\n", std::string(content.begin(), content.end())) << member.name;
    }
}

TEST_F(FromDir, RefusedContents)
{
    struct Case {
        const char *name;
        void (*make)(const std::string &folder);
        const char *message;
    } const cases[] = {
        {"name of 261 bytes",
         [](const std::string &f) {
             std::filesystem::create_directories(f + "/" + std::string(200, 'd'));
             WriteText(f + "/" + std::string(200, 'd') + "/" + std::string(60, 'f'), "x");
         },
         "261 bytes, over the extractor's limit of 260"},
        {"name outside code page 1252", [](const std::string &f) { WriteText(f + "/Łódź.txt", "x"); }, "CP1252"},
        {"backslash in a name", [](const std::string &f) { WriteText(f + "/a\\b.txt", "x"); }, "backslash"},
        {"named pipe", [](const std::string &f) { mkfifo((f + "/pipe").c_str(), 0600); }, "not a regular file"},
        {"link to a folder",
         [](const std::string &f) {
             std::filesystem::create_directories(f + "/real");
             std::filesystem::create_directory_symlink("real", f + "/link");
         },
         "links to folders are not followed"},
        {"link to a file outside the folder",
         [](const std::string &f) {
             WriteText(f + "/../secret.txt", "not for the installer");
             std::filesystem::create_symlink("../secret.txt", f + "/innocent.txt");
         },
         "innocent.txt: a link to "},
        {"link to a file beside the folder, its name beginning with the folder's",
         [](const std::string &f) {
             WriteText(f + "/../in-other.txt", "beside, not inside");
             std::filesystem::create_symlink("../in-other.txt", f + "/sneaky.txt");
         },
         "outside the folder; links are followed only to files inside it"},
    };
    for (const Case &c : cases) {
        // Under Wine a backslash is a separator and a pipe is no file at all:
        // tvsfx.exe refuses both, with the system's own reason.
        // Wine shows Linux links as the files they lead to, so tvsfx.exe is
        // not asked about those (on Windows a link is a reparse point, and
        // the same check refuses it).
        const std::string name = c.name;
        const bool posix_only = name == "backslash in a name" || name == "named pipe" ||
                                name.compare(0, 14, "link to a file") == 0;
        if (!NativeTvsfx() && name.compare(0, 4, "link") == 0 && name != "link to a folder")
            continue;
        TempDir work;
        const std::string folder = work / "in";
        std::filesystem::create_directories(folder);
        c.make(folder);
        ToolRun run = BuildFromDir(folder, work / "out.exe");
        EXPECT_EQ(1, run.exit_code) << c.name;
        if (NativeTvsfx() || !posix_only)
            EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.name << ": " << run.err;
        std::vector<std::string> left = FolderEntries(work.path());
        left.erase(std::remove_if(left.begin(), left.end(),
                                  [](const std::string &entry) { return entry.find(".txt") != std::string::npos; }),
                   left.end());
        EXPECT_EQ(std::vector<std::string>{"in"}, left) << c.name << ": nothing at --out";
    }
}

}  // namespace
}  // namespace builder_test
