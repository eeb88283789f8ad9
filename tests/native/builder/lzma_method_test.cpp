// --method deflate|lzma|best and LZMA members from --from-zip: what each
// method writes (method 14 with version 6.3 and no end marker, read back by
// 7-Zip byte for byte), best never larger than either, deflate the default
// unchanged; --from-zip keeping 7-Zip's and Python's LZMA members as they
// are and refusing headers the installer would refuse; verify decoding LZMA
// members and naming their damage; tvsfx.exe, which has no LZMA encoder,
// saying so.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace builder_test {
namespace {

constexpr uint16_t METHOD_LZMA = 14;

// The sample payload and a larger, compressible text, so that LZMA wins.
void MakeLzmaPayload(const std::string &folder)
{
    MakeSamplePayload(folder);
    std::string text;
    for (int i = 0; i < 4000; i++)
        text += "line " + std::to_string(i * 7919 % 1000) + " of a text that compresses well\n";
    WriteText(folder + "/long.txt", text);
}

struct Built {
    std::vector<uint8_t> image;
    LocalWalk walk;
    std::map<std::string, LocalMember> by_name;
};

Built Inspect(const std::string &path)
{
    Built built;
    built.image = ReadBytes(path);
    built.walk = WalkLikeTheStub(built.image, ParseParameterBlock(built.image).first_local_header);
    for (const LocalMember &member : built.walk.members)
        built.by_name[member.name] = member;
    return built;
}

// 7-Zip's extraction of the installer's archive, compared file by file.
void ExpectSevenZipExtractsTheSame(const TempDir &dir, const std::string &installer, const std::string &payload)
{
    if (!HaveTool("7z"))
        return;
    const std::string out = dir / "7z-out";
    ToolRun run = RunShell("mkdir -p " + ShellQuote(out) + " && cd " + ShellQuote(out) + " && 7z x -tzip -y " +
                           ShellQuote(installer) + " >/dev/null && diff -r " + ShellQuote(out) + " " +
                           ShellQuote(payload));
    EXPECT_EQ(0, run.exit_code) << installer << ": " << run.out << run.err;
    RunShell("rm -rf " + ShellQuote(out));
}

TEST(LzmaMethod, LzmaMembersAreWrittenAndReadBack)
{
    TempDir dir;
    MakeLzmaPayload(dir / "payload");
    if (!NativeTvsfx()) {
        // tvsfx.exe has no LZMA encoder and says so.
        for (const char *method : {"lzma", "best"}) {
            ToolRun run = BuildFromDir(dir / "payload", dir / "setup.exe", {"--method", method});
            EXPECT_EQ(1, run.exit_code) << method;
            EXPECT_NE(std::string::npos, run.err.find("no LZMA encoder")) << run.err;
            EXPECT_FALSE(FileExists(dir / "setup.exe"));
        }
        return;
    }
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "lzma.exe", {"--method", "lzma"}).exit_code);
    const Built built = Inspect(dir / "lzma.exe");
    ASSERT_EQ("", built.walk.failure);
    const LocalMember &text = built.by_name.at("long.txt");
    EXPECT_EQ(METHOD_LZMA, text.method);
    EXPECT_EQ(0, text.flags & 2) << "no end marker: the size ends the stream";
    EXPECT_EQ(63, Le16(built.image, text.offset + 4)) << "version needed 6.3";
    // The zip header: properties size 5, a dictionary no larger than the member.
    EXPECT_EQ(5, Le16(built.image, text.data_offset + 2));
    EXPECT_LE(Le32(built.image, text.data_offset + 5), std::max<uint32_t>(4096, text.uncompressed_bytes));
    // Random bytes stay stored; empty files carry no data.
    for (const LocalMember &member : built.walk.members)
        EXPECT_TRUE(member.method == METHOD_LZMA || member.method == 0) << member.name << " " << member.method;

    ToolRun run = RunTvsfx({"verify", dir / "lzma.exe"});
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;
    run = RunTvsfx({"info", dir / "lzma.exe"});
    EXPECT_NE(std::string::npos, run.out.find("lzma ")) << run.out;
    run = RunTvsfx({"info", "--json", dir / "lzma.exe"});
    EXPECT_NE(std::string::npos, run.out.find("\"method\": \"lzma\"")) << run.out;
    ExpectSevenZipExtractsTheSame(dir, dir / "lzma.exe", dir / "payload");

    // best: per member never larger than deflate's or LZMA's choice.
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "deflate.exe", {"--method", "deflate"}).exit_code);
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "best.exe", {"--method", "best"}).exit_code);
    const Built deflated = Inspect(dir / "deflate.exe"), best = Inspect(dir / "best.exe");
    for (const auto &[name, member] : best.by_name) {
        EXPECT_LE(member.compressed_bytes, deflated.by_name.at(name).compressed_bytes) << name;
        EXPECT_LE(member.compressed_bytes, built.by_name.at(name).compressed_bytes) << name;
    }
    EXPECT_EQ(METHOD_LZMA, best.by_name.at("long.txt").method);
    EXPECT_EQ(0, RunTvsfx({"verify", dir / "best.exe"}).exit_code);
    ExpectSevenZipExtractsTheSame(dir, dir / "best.exe", dir / "payload");
}

TEST(LzmaMethod, DeflateStaysTheDefault)
{
    TempDir dir;
    MakeLzmaPayload(dir / "payload");
    ASSERT_EQ(0, RunTvsfxWith("SOURCE_DATE_EPOCH=1700000000",
                              {"build", "--quiet", "--out", dir / "plain.exe", "--from-dir", dir / "payload"})
                     .exit_code);
    ASSERT_EQ(0, RunTvsfxWith("SOURCE_DATE_EPOCH=1700000000", {"build", "--quiet", "--out", dir / "deflate.exe",
                                                               "--from-dir", dir / "payload", "--method=deflate"})
                     .exit_code);
    EXPECT_TRUE(ReadBytes(dir / "plain.exe") == ReadBytes(dir / "deflate.exe"));
    for (const LocalMember &member : Inspect(dir / "plain.exe").walk.members)
        EXPECT_NE(METHOD_LZMA, member.method) << member.name;
}

TEST(LzmaMethod, UsageMistakes)
{
    TempDir dir;
    MakeSamplePayload(dir / "payload");
    const struct {
        std::vector<std::string> options;
        const char *message;
    } cases[] = {
        {{"--from-dir", dir / "payload", "--method", "zstd"}, "\"zstd\" is not deflate, lzma or best"},
        {{"--from-dir", dir / "payload", "--method"}, "--method needs a value"},
        {{"--from-zip", dir / "any.zip", "--method", "lzma"}, "--from-zip keeps its members as they are"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> arguments = {"build", "--out", dir / "setup.exe"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ToolRun run = RunTvsfx(arguments);
        EXPECT_EQ(1, run.exit_code) << c.message;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
        EXPECT_FALSE(FileExists(dir / "setup.exe"));
    }
}

// A Python zipfile archive with LZMA members (end marker, bit 1 set).
std::string MakePythonLzmaZip(const TempDir &dir, const std::string &name)
{
    const std::string path = dir / name;
    const ToolRun run = RunShell(
        "python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_LZMA); "
        "z.writestr('a.txt', 'lzma from python ' * 500); z.writestr('b.bin', bytes(range(256)) * 40); "
        "z.close()\" " + ShellQuote(path));
    EXPECT_EQ(0, run.exit_code) << run.err;
    return path;
}

TEST(LzmaMethod, FromZipKeepsLzmaMembers)
{
    TempDir dir;
    const std::string peers[] = {MakePeerZip(dir, "7z.zip", "7z a -tzip -mm=LZMA \"$OUT_ZIP\" . >/dev/null"),
                                 MakePythonLzmaZip(dir, "python.zip")};
    for (const std::string &zip : peers) {
        ASSERT_FALSE(zip.empty());
        const std::string out = zip + ".exe";
        ToolRun run = RunTvsfx({"build", "--quiet", "--out", out, "--from-zip", zip});
        ASSERT_EQ(0, run.exit_code) << zip << ": " << run.err;
        // The members' data as the source archive holds it.
        const std::vector<uint8_t> source = ReadBytes(zip);
        const Built built = Inspect(out);
        const LocalWalk original = WalkLikeTheStub(source, 0);
        ASSERT_EQ("", original.failure);
        size_t lzma_members = 0;
        for (const LocalMember &member : original.members) {
            const LocalMember &kept = built.by_name.at(member.name);
            EXPECT_EQ(member.method, kept.method) << member.name;
            EXPECT_EQ(member.flags & 2, kept.flags & 2) << member.name;
            EXPECT_TRUE(std::equal(source.begin() + long(member.data_offset),
                                   source.begin() + long(member.data_offset + member.compressed_bytes),
                                   built.image.begin() + long(kept.data_offset)))
                << member.name;
            lzma_members += member.method == METHOD_LZMA;
        }
        EXPECT_GT(lzma_members, 0u) << zip;
        run = RunTvsfx({"verify", out});
        EXPECT_EQ(0, run.exit_code) << zip << ": " << run.out << run.err;
    }
}

// Headers the installer would refuse are refused at build time; damaged
// streams are named by verify.
TEST(LzmaMethod, BadLzmaMembers)
{
    TempDir dir;
    const std::string zip = MakePythonLzmaZip(dir, "python.zip");
    const std::vector<uint8_t> source = ReadBytes(zip);
    const LocalWalk walk = WalkLikeTheStub(source, 0);
    ASSERT_EQ("", walk.failure);
    const LocalMember &first = walk.members.front();
    ASSERT_EQ(METHOD_LZMA, first.method);

    const struct {
        const char *name;
        size_t offset;  // in the member's data
        std::vector<uint8_t> bytes;
        const char *message;
    } headers[] = {
        {"properties size 4", 2, {4, 0}, "properties of 4 bytes"},
        {"lc/lp/pb 225", 4, {225}, "lc/lp/pb byte 225"},
    };
    for (const auto &c : headers) {
        std::vector<uint8_t> bad = source;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + long(first.data_offset + c.offset));
        WriteBytes(dir / "bad.zip", bad);
        ToolRun run = RunTvsfx({"build", "--out", dir / "bad.exe", "--from-zip", dir / "bad.zip"});
        EXPECT_EQ(1, run.exit_code) << c.name;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.name << ": " << run.err;
        EXPECT_FALSE(FileExists(dir / "bad.exe"));
    }

    // Damage inside the stream: the build keeps it, verify finds it.
    ASSERT_EQ(0, RunTvsfx({"build", "--quiet", "--out", dir / "good.exe", "--from-zip", zip}).exit_code);
    const Built good = Inspect(dir / "good.exe");
    const LocalMember &kept = good.by_name.at(first.name);
    for (const size_t at : {size_t(9), size_t(kept.compressed_bytes / 2), size_t(kept.compressed_bytes - 1)}) {
        std::vector<uint8_t> damaged = good.image;
        damaged[kept.data_offset + at] ^= 0x55;
        WriteBytes(dir / "damaged.exe", damaged);
        ToolRun run = RunTvsfx({"verify", dir / "damaged.exe"});
        EXPECT_EQ(1, run.exit_code) << "byte " << at << ": " << run.out;
        EXPECT_NE(std::string::npos, run.out.find("member \"" + first.name + "\"")) << run.out;
    }
}

}  // namespace
}  // namespace builder_test
