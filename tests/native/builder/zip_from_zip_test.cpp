// --from-zip: archives made by other tools, re-based into the installer with
// the true CRC and sizes in every local header, their data copied as it is;
// bit-3 (streamed) archives plain and encrypted; and what is refused.
#include "builder_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <map>

namespace builder_test {
namespace {

size_t FindEndRecord(const std::vector<uint8_t> &zip)
{
    for (size_t at = zip.size() - 22 + 1; at-- > 0;)
        if (zip[at] == 'P' && zip[at + 1] == 'K' && zip[at + 2] == 5 && zip[at + 3] == 6)
            return at;
    return std::string::npos;
}

// Checks that image carries the members of the zip at original, in the same
// order, each with the original's data and the central directory's CRC and
// sizes in its local header.
void ExpectSameMembers(const std::vector<uint8_t> &original, const std::vector<uint8_t> &image,
                       const std::string &label)
{
    const std::vector<CentralMember> source = CentralDirectory(original, FindEndRecord(original));
    const ParameterView block = ParseParameterBlock(image);
    const LocalWalk walk = WalkLikeTheStub(image, block.first_local_header);
    ASSERT_EQ("", walk.failure) << label;
    EXPECT_EQ(block.end_record, walk.end_record) << label;
    ASSERT_EQ(source.size(), walk.members.size()) << label;

    std::vector<CentralMember> in_file_order = source;
    std::stable_sort(in_file_order.begin(), in_file_order.end(),
                     [](const CentralMember &a, const CentralMember &b) { return a.local_offset < b.local_offset; });
    uint32_t total_size = 0;
    for (size_t index = 0; index < walk.members.size(); index++) {
        const CentralMember &want = in_file_order[index];
        const LocalMember &got = walk.members[index];
        EXPECT_EQ(want.name, got.name) << label;
        EXPECT_EQ(want.crc, got.crc) << label << " " << got.name;
        EXPECT_EQ(want.compressed_bytes, got.compressed_bytes) << label << " " << got.name;
        EXPECT_EQ(want.uncompressed_bytes, got.uncompressed_bytes) << label << " " << got.name;
        EXPECT_EQ(want.method, got.method) << label << " " << got.name;
        // Bit 3 stays only on encrypted members (see the streamed test).
        EXPECT_EQ((want.flags & 1) ? want.flags : (want.flags & ~8), got.flags) << label << " " << got.name;
        const size_t source_data = want.local_offset + 30 + Le16(original, want.local_offset + 26) +
                                   Le16(original, want.local_offset + 28);
        EXPECT_TRUE(std::equal(original.begin() + source_data, original.begin() + source_data + want.compressed_bytes,
                               image.begin() + got.data_offset))
            << label << " " << got.name << ": data copied as it is";
        std::vector<uint8_t> content;
        if (!(got.flags & 1) && UnpackMember(image, got, "", content))
            EXPECT_EQ(got.crc, crc32(0, content.data(), static_cast<uInt>(content.size()))) << label << " " << got.name;
        total_size += got.uncompressed_bytes;
    }
    EXPECT_EQ(total_size, block.total_size) << label;

    // The central directory keeps its own order, with absolute offsets.
    const std::vector<CentralMember> written = CentralDirectory(image, block.end_record);
    ASSERT_EQ(source.size(), written.size()) << label;
    std::map<size_t, std::string> name_at;
    for (const LocalMember &member : walk.members)
        name_at[member.offset] = member.name;
    for (size_t index = 0; index < written.size(); index++) {
        EXPECT_EQ(source[index].name, written[index].name) << label;
        EXPECT_EQ(source[index].name, name_at[written[index].local_offset]) << label;
    }
}

// Builds from the zip at path and checks the installer against it. password
// lets unzip test the result; nullptr when it is unknown.
void ExpectRebased(const std::string &path, const std::string &label, uint32_t flags, const char *password)
{
    TempDir work;
    ToolRun run = RunTvsfx({"build", "--quiet", "--out", work / "setup.exe", "--from-zip", path});
    ASSERT_EQ(0, run.exit_code) << label << ": " << run.err;
    const std::vector<uint8_t> image = ReadBytes(work / "setup.exe");
    ExpectSameMembers(ReadBytes(path), image, label);
    EXPECT_EQ(flags, ParseParameterBlock(image).flags) << label;
    if (password) {
        run = RunShell(std::string("unzip -P ") + ShellQuote(password) + " -t " + ShellQuote(work / "setup.exe"));
        EXPECT_EQ(0, run.exit_code) << label << "\n" << run.out << run.err;
    }
}

TEST(FromZip, PeerArchivesAreRebased)
{
    struct Case {
        const char *file;
        const char *password;  // nullptr: encrypted, password unknown
        uint32_t flags;        // derived: bit 8 for an encrypted member
    } const cases[] = {
        {"COMPRESS-380.zip", "", 0},                  // Deflate64
        {"lorem-ipsum-deflate64.zip", "", 0},
        {"COMPRESS-380-dd.zip", "", 0},               // bit 3, zero local sizes, Deflate64 and deflate
        {"OSX_ArchiveWithNestedArchive.zip", "", 0},  // bit 3, macOS archiver
        {"ordertest.zip", "", 0},                     // central order differs from file order
        {"archive_with_trailer.zip", "", 0},          // bytes after the end record
        {"archive_with_bytes_after_data.zip", "", 0},
        {"utf8-7zip-test.zip", "", 0},
        {"password-encrypted.zip", nullptr, 0x100},
    };
    size_t ran = 0;
    for (const Case &c : cases)
        if (HaveCorpusZip(c.file)) {
            ExpectRebased(CorpusZip(c.file), c.file, c.flags, c.password);
            ran++;
        }
    if (ran == 0)
        GTEST_SKIP() << "no peer archive of the corpus is present";
}

// What each made archive must show for its case to mean anything.
bool HasDeflate64Member(const std::vector<CentralMember> &members, const std::vector<uint8_t> &)
{
    return std::any_of(members.begin(), members.end(), [](const CentralMember &m) { return m.method == 9; });
}
bool HasEncryptedMember(const std::vector<CentralMember> &members, const std::vector<uint8_t> &)
{
    return std::any_of(members.begin(), members.end(), [](const CentralMember &m) { return m.flags & 1; });
}
bool CentralOrderDiffers(const std::vector<CentralMember> &members, const std::vector<uint8_t> &)
{
    return !std::is_sorted(members.begin(), members.end(),
                           [](const CentralMember &a, const CentralMember &b) { return a.local_offset < b.local_offset; });
}
bool BytesAfterEndRecord(const std::vector<CentralMember> &, const std::vector<uint8_t> &zip)
{
    const size_t end = FindEndRecord(zip);
    return end + 22 + Le16(zip, end + 20) < zip.size();
}
bool HasZip64LocalExtra(const std::vector<CentralMember> &members, const std::vector<uint8_t> &zip)
{
    for (const CentralMember &m : members) {
        const size_t extra = m.local_offset + 30 + Le16(zip, m.local_offset + 26);
        if (Le16(zip, m.local_offset + 28) >= 4 && Le16(zip, extra) == 1)
            return true;
    }
    return false;
}
bool HasUtf8Name(const std::vector<CentralMember> &members, const std::vector<uint8_t> &)
{
    return std::any_of(members.begin(), members.end(), [](const CentralMember &m) { return m.flags & 0x800; });
}

// Python's zipfile, with the central directory written in reverse file order.
const char kReversedCentral[] = R"(python3 - "$OUT_ZIP" <<'EOF'
import os, sys, zipfile
z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)
for root, folders, files in os.walk('.'):
    folders.sort()
    for name in sorted(folders + files):
        z.write(os.path.join(root, name)[2:])
z.filelist.reverse()
z.close()
EOF)";

// Python's zipfile, forcing a Zip64 extra into the local header of a small
// member (newer versions also put 0xFFFFFFFF in its size fields); the
// central directory needs no Zip64.
const char kZip64LocalHeader[] = R"(python3 - "$OUT_ZIP" <<'EOF'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)
with z.open('far.txt', 'w', force_zip64=True) as f:
    f.write(open('far.txt', 'rb').read())
z.write('readme.txt')
z.close()
EOF)";

// The cases of the corpus above, made by the peer tools here so that they
// run without the corpus too.
TEST(FromZip, ArchivesMadeByPeersAreRebased)
{
    struct Case {
        const char *file;
        const char *command;
        bool (*made_as_meant)(const std::vector<CentralMember> &, const std::vector<uint8_t> &);
        const char *password;
        uint32_t flags;
    } const cases[] = {
        {"deflate64.zip", "7z a -tzip -mm=Deflate64 \"$OUT_ZIP\" .", HasDeflate64Member, "", 0},
        {"zipcrypto-7z.zip", "7z a -tzip -psecret -mem=ZipCrypto \"$OUT_ZIP\" .", HasEncryptedMember, "secret", 0x100},
        // Info-ZIP sets bit 3 on encrypted members even in a file it can seek.
        {"zipcrypto-zip.zip", "zip -q -r -P secret \"$OUT_ZIP\" .", HasEncryptedMember, "secret", 0x100},
        {"reversed-central.zip", kReversedCentral, CentralOrderDiffers, "", 0},
        {"trailer.zip", "zip -q -r \"$OUT_ZIP\" . && printf 'bytes after the end record' >>\"$OUT_ZIP\"",
         BytesAfterEndRecord, "", 0},
        {"zip64-local.zip", kZip64LocalHeader, HasZip64LocalExtra, "", 0},
        {"utf8-7z.zip", "printf 'x' >'grüße.txt' && 7z a -tzip \"$OUT_ZIP\" .", HasUtf8Name, "", 0},
    };
    for (const Case &c : cases) {
        TempDir work;
        const std::string zip = MakePeerZip(work, c.file, c.command);
        if (zip.empty())
            continue;
        const std::vector<uint8_t> original = ReadBytes(zip);
        ASSERT_TRUE(c.made_as_meant(CentralDirectory(original, FindEndRecord(original)), original))
            << c.file << ": the peer did not make the archive this case needs";
        ExpectRebased(zip, c.file, c.flags, c.password);
    }
}

// Written to a pipe, zip tools put zero CRC and sizes in the local headers
// and the true ones in descriptors (bit 3). The installer's local headers
// carry the true values. A plain member loses bit 3 and its descriptor; an
// encrypted one keeps bit 3, because its password check byte was made from
// the DOS time as bit 3 demands, and gets a 16-byte descriptor.
TEST(FromZip, StreamedArchivesGetTrueSizes)
{
    TempDir work;
    MakeSamplePayload(work / "in");
    const std::string make = "cd " + ShellQuote(work / "in") + " && zip -q -r ";
    ASSERT_EQ(0, RunShell(make + "- . | cat > ../plain.zip").exit_code);
    ASSERT_EQ(0, RunShell(make + "-e -P secret - . | cat > ../secret.zip").exit_code);
    ASSERT_EQ(0, RunShell("python3 -c \"import zipfile,sys\n"
                          "class Pipe:\n"
                          "  def __init__(s): s.f=open(sys.argv[1],'wb')\n"
                          "  def write(s,b): return s.f.write(b)\n"
                          "  def flush(s): s.f.flush()\n"
                          "z=zipfile.ZipFile(Pipe(),'w',zipfile.ZIP_DEFLATED)\n"
                          "z.comment=b'made by a pipe'\n"
                          "z.writestr('a.txt','abc'*1000)\n"
                          "z.writestr('b/c.txt','')\n"
                          "z.close()\" " +
                          ShellQuote(work / "python.zip"))
                     .exit_code);

    std::vector<std::string> names = {"plain.zip", "secret.zip", "python.zip"};
    // A jar tool writes descriptors for its deflated members, to a file too.
    if (HaveTool("jar") && !MakePeerZip(work, "jar.zip", "jar cfM \"$OUT_ZIP\" .").empty())
        names.push_back("jar.zip");

    for (const std::string &name : names) {
        const std::vector<uint8_t> original = ReadBytes(work / name);
        const LocalWalk source_walk = WalkLikeTheStub(original, 0);
        ASSERT_FALSE(source_walk.members.empty()) << name;
        EXPECT_TRUE(std::any_of(source_walk.members.begin(), source_walk.members.end(),
                                [](const LocalMember &m) { return m.flags & 8; }))
            << name << ": the peer wrote descriptors";

        ToolRun run = RunTvsfx({"build", "--quiet", "--out", work / "setup.exe", "--from-zip", work / name});
        ASSERT_EQ(0, run.exit_code) << name << ": " << run.err;
        const std::vector<uint8_t> image = ReadBytes(work / "setup.exe");
        ExpectSameMembers(original, image, name);
        run = RunShell("unzip -P secret -t " + ShellQuote(work / "setup.exe"));
        EXPECT_EQ(0, run.exit_code) << name << "\n" << run.out << run.err;
    }

    // The encrypted members in detail.
    ToolRun run = RunTvsfx({"build", "--quiet", "--out", work / "secret.exe", "--from-zip", work / "secret.zip"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    const std::vector<uint8_t> secret = ReadBytes(work / "secret.exe");
    const ParameterView block = ParseParameterBlock(secret);
    EXPECT_EQ(0x100u, block.flags) << "an encrypted member asks for the password first";
    const LocalWalk walk = WalkLikeTheStub(secret, block.first_local_header);
    size_t files = 0;
    for (const LocalMember &member : walk.members) {
        if (member.name.back() == '/')
            continue;
        files++;
        ASSERT_EQ(9, member.flags & 9) << member.name << ": encrypted, bit 3 kept";
        EXPECT_EQ(member.time >> 8, EncryptionCheckByte(secret, member, "secret")) << member.name;
        ASSERT_EQ(16u, member.descriptor.size());
        const std::vector<uint8_t> &d = member.descriptor;
        EXPECT_EQ(std::string("PK\x07\x08"), std::string(d.begin(), d.begin() + 4)) << member.name;
        EXPECT_EQ(member.crc, Le32(d, 4)) << member.name;
        EXPECT_EQ(member.compressed_bytes, Le32(d, 8)) << member.name;
        EXPECT_EQ(member.uncompressed_bytes, Le32(d, 12)) << member.name;
        std::vector<uint8_t> content;
        ASSERT_TRUE(UnpackMember(secret, member, "secret", content)) << member.name;
        EXPECT_TRUE(content == ReadBytes(work / "in/" + member.name)) << member.name;
    }
    EXPECT_EQ(4u, files);
}

TEST(FromZip, ArchiveCommentIsKeptAheadOfThePadding)
{
    TempDir work;
    WriteText(work / "a.txt", "a");
    ASSERT_EQ(0, RunShell("cd " + ShellQuote(work.path()) + " && zip -q plain.zip a.txt && "
                          "echo 'the comment' | zip -q -z plain.zip")
                     .exit_code);
    ASSERT_EQ(0, RunTvsfx({"build", "--quiet", "--out", work / "setup.exe", "--from-zip", work / "plain.zip"})
                     .exit_code);
    const std::vector<uint8_t> image = ReadBytes(work / "setup.exe");
    const ParameterView block = ParseParameterBlock(image);
    const size_t comment = block.end_record + 22;
    ASSERT_EQ(image.size() - comment, Le16(image, block.end_record + 20)) << "the comment runs to the end";
    EXPECT_EQ("the comment", std::string(image.begin() + comment, image.begin() + comment + 11));
    EXPECT_TRUE(std::all_of(image.begin() + comment + 12, image.end(), [](uint8_t b) { return b == 0; }));
    ToolRun run = RunShell("unzip -z " + ShellQuote(work / "setup.exe"));
    EXPECT_NE(std::string::npos, run.out.find("the comment")) << run.out;
}

// A comment of the longest length leaves no room for the section padding
// in the end record: the padding goes in front of the archive, and peers
// and verify still see a sound archive with the comment whole. Cut short,
// the same archive is refused as truncated, not as something else.
TEST(FromZip, CommentOfTheLongestLength)
{
    TempDir work;
    WriteText(work / "a.txt", "contenido\n");
    const std::string zip = work / "max.zip";
    ASSERT_EQ(0, RunShell("cd " + ShellQuote(work.path()) + " && python3 -c \"import zipfile,sys; "
                          "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED); z.write('a.txt'); "
                          "z.comment=bytes((i*7)%251 for i in range(65535)); z.close()\" " + ShellQuote(zip))
                     .exit_code);
    const std::vector<uint8_t> original = ReadBytes(zip);
    ToolRun run = RunTvsfx({"build", "--quiet", "--out", work / "setup.exe", "--from-zip", zip});
    ASSERT_EQ(0, run.exit_code) << run.err;
    const std::vector<uint8_t> image = ReadBytes(work / "setup.exe");
    ExpectSameMembers(original, image, "max.zip");
    const ParameterView block = ParseParameterBlock(image);
    EXPECT_EQ(65535u, Le16(image, block.end_record + 20));
    EXPECT_EQ(image.size(), block.end_record + 22 + 65535u) << "the comment still ends the file";
    EXPECT_TRUE(std::equal(original.end() - 65535, original.end(), image.end() - 65535)) << "the comment whole";
    EXPECT_EQ(0u, image.size() % 512) << "the section ends on the file alignment";
    EXPECT_EQ(8u, HeaderFields(image, block).size()) << "the header decodes with the padding after it";
    run = RunShell("unzip -tq " + ShellQuote(work / "setup.exe"));
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;
    if (HaveTool("7z")) {
        run = RunShell("7z t " + ShellQuote(work / "setup.exe"));
        EXPECT_EQ(0, run.exit_code) << run.out << run.err;
    }
    run = RunTvsfx({"verify", work / "setup.exe"});
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;

    std::vector<uint8_t> cut(original.begin(), original.end() - 100);
    WriteBytes(work / "cut.zip", cut);
    run = RunTvsfx({"build", "--quiet", "--out", work / "cut.exe", "--from-zip", work / "cut.zip"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("truncated: the end of central directory record at 0x" ))
        << run.err;
    EXPECT_NE(std::string::npos, run.err.find("announces a comment of 65535 bytes, but the file ends 65435 bytes "
                                              "after the record"))
        << run.err;
    EXPECT_FALSE(FileExists(work / "cut.exe"));
}

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

// A stored zip of count empty members "NNNNN" with no Zip64 record, its end
// record counting stated_count of them.
std::vector<uint8_t> ZipOfEmptyMembers(size_t count, uint16_t stated_count)
{
    std::vector<uint8_t> out, central;
    for (size_t index = 0; index < count; index++) {
        char name[8];
        std::snprintf(name, sizeof name, "%05zu", index);
        const uint32_t offset = static_cast<uint32_t>(out.size());
        for (std::vector<uint8_t> *record : {&out, &central}) {
            const bool local = record == &out;
            Put32(*record, local ? 0x04034B50 : 0x02014B50);
            if (!local)
                Put16(*record, 20);       // version made by
            Put16(*record, 10);           // version needed
            Put32(*record, 0);            // flags, method stored
            Put32(*record, 0x00210000);   // time 0, date 1980-01-01
            for (int field = 0; field < 3; field++)
                Put32(*record, 0);        // CRC, both sizes
            Put16(*record, 5);            // name
            Put16(*record, 0);            // extra
            if (!local) {
                for (int field = 0; field < 3; field++)
                    Put16(*record, 0);    // comment, disk, internal attributes
                Put32(*record, 0);        // external attributes
                Put32(*record, offset);
            }
            record->insert(record->end(), name, name + 5);
        }
    }
    const uint32_t central_offset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    Put32(out, 0x06054B50);
    Put32(out, 0);                        // disk numbers
    Put16(out, stated_count);
    Put16(out, stated_count);
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, central_offset);
    Put16(out, 0);                        // comment
    return out;
}

// 65535 members is the limit both ways: the builder writes that many, and
// reads them back (a count of 0xFFFF without a Zip64 record is no Zip64
// mark); one more, counted modulo 65536 or stopped at 0xFFFF by a writer
// without Zip64, is refused, not cut down to the count.
TEST(FromZip, TheLimitOf65535MembersReadAndWritten)
{
    TempDir work;
    WriteBytes(work / "most.zip", ZipOfEmptyMembers(65535, 0xFFFF));
    ToolRun run = RunTvsfx({"build", "--quiet", "--out", work / "most.exe", "--from-zip", work / "most.zip"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    const std::vector<uint8_t> image = ReadBytes(work / "most.exe");
    const ParameterView block = ParseParameterBlock(image);
    EXPECT_EQ(65535u, WalkLikeTheStub(image, block.first_local_header).members.size());
    EXPECT_EQ(0xFFFFu, Le16(image, block.end_record + 10));
    run = RunShell("unzip -tq " + ShellQuote(work / "most.exe"));
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;

    // The installer's own archive, taken as --from-zip: what was written is read.
    run = RunTvsfx({"build", "--quiet", "--out", work / "again.exe", "--from-zip", work / "most.exe"});
    EXPECT_EQ(0, run.exit_code) << run.err;

    for (const uint16_t stated : {uint16_t(0), uint16_t(0xFFFF)}) {
        WriteBytes(work / "over.zip", ZipOfEmptyMembers(65536, stated));
        run = RunTvsfx({"build", "--quiet", "--out", work / "over.exe", "--from-zip", work / "over.zip"});
        EXPECT_EQ(1, run.exit_code) << stated;
        EXPECT_NE(std::string::npos, run.err.find("the central directory holds more members than the " +
                                                  std::to_string(stated) + " its end record counts: over the 65535 "
                                                  "a zip archive holds without Zip64"))
            << run.err;
        EXPECT_FALSE(FileExists(work / "over.exe"));
    }
}

// Directory entries that share data would each become a copy of it: 1000
// entries on one member of 3 KiB were a 3 MB installer.
TEST(FromZip, MembersWhoseDataOverlapAreRefused)
{
    TempDir work;
    ASSERT_EQ(0, RunShell("python3 " + ShellQuote(TALVOK_SOURCE_DIR "/tests/native/builder/make_overlapping_zip.py") +
                          " " + ShellQuote(work / "bomb.zip") + " 1000")
                     .exit_code);
    ToolRun run = RunTvsfx({"build", "--quiet", "--out", work / "bomb.exe", "--from-zip", work / "bomb.zip"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("member \"copy0000.txt\" (its header at 0x0, its data up to 0x"))
        << run.err;
    EXPECT_NE(std::string::npos, run.err.find("overlaps member \"copy0001.txt\" at 0x0: members whose data overlap"))
        << run.err;
    EXPECT_FALSE(FileExists(work / "bomb.exe"));

    // A member whose stated size runs into the central directory.
    ASSERT_EQ(0, RunShell("python3 " + ShellQuote(TALVOK_SOURCE_DIR "/tests/native/builder/make_overlapping_zip.py") +
                          " " + ShellQuote(work / "one.zip") + " 1").exit_code);
    std::vector<uint8_t> one = ReadBytes(work / "one.zip");
    const size_t end = FindEndRecord(one);
    const uint32_t central = Le32(one, end + 16);
    const uint32_t grown = Le32(one, central + 20) + 10;  // the central directory's compressed size
    for (int shift = 0; shift < 4; shift++)
        one[central + 20 + shift] = static_cast<uint8_t>(grown >> (8 * shift));
    WriteBytes(work / "one.zip", one);
    run = RunTvsfx({"build", "--quiet", "--out", work / "one.exe", "--from-zip", work / "one.zip"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("overlaps the central directory at 0x")) << run.err;
}

// Names the stub refuses or Windows cannot create, one archive each: the
// build names the member and the reason and writes nothing; the same
// archive put in as it is (--verbatim) is reported by verify.
TEST(FromZip, NamesNoInstallerCanExtractAreRefused)
{
    const struct {
        std::vector<std::string> names;  // as make_named_zip.py takes them
        const char *shown;               // the member named in the message
        const char *reason;
    } cases[] = {
        {{"a:b"}, "a:b", "a ':'"},
        {{"q?.txt"}, "q?.txt", "a '?'"},
        {{"a|b"}, "a|b", "a '|'"},
        {{"trail."}, "trail.", "ends in a dot or a blank"},
        {{"..."}, "...", "ends in a dot or a blank"},
        {{"CON"}, "CON", "is a device name"},
        {{"docs/nul.txt"}, "docs/nul.txt", "is a device name"},
        {{"bell\\x07"}, "bell\a", "a control character (0x07)"},
        {{"escaped/sub\\x00/"}, "escaped/sub", "a NUL byte"},
        {{"/abs.txt"}, "/abs.txt", "an absolute name"},
        {{"Readme.txt", "README.TXT"}, "README.TXT", "the same name as \"Readme.txt\" when case is ignored"},
        {{"docs", "docs/a.txt"}, "docs/a.txt", "it needs a folder where \"docs\" is a file"},
    };
    for (const auto &c : cases) {
        TempDir work;
        std::string command = "python3 " + ShellQuote(TALVOK_SOURCE_DIR "/tests/native/builder/make_named_zip.py") +
                              " " + ShellQuote(work / "names.zip");
        for (const std::string &name : c.names)
            command += " " + ShellQuote(name);
        ASSERT_EQ(0, RunShell(command).exit_code) << c.shown;
        ToolRun run = RunTvsfx({"build", "--out", work / "setup.exe", "--from-zip", work / "names.zip"});
        EXPECT_EQ(1, run.exit_code) << c.shown;
        EXPECT_NE(std::string::npos, run.err.find(std::string("member \"") + c.shown)) << c.shown << ": " << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.reason)) << c.shown << ": " << run.err;
        EXPECT_FALSE(FileExists(work / "setup.exe")) << c.shown;

        ASSERT_EQ(0, RunTvsfx({"build", "--quiet", "--out", work / "verbatim.exe", "--from-zip", work / "names.zip",
                               "--verbatim"})
                         .exit_code);
        run = RunTvsfx({"verify", work / "verbatim.exe"});
        EXPECT_EQ(1, run.exit_code) << c.shown << ": " << run.out;
        EXPECT_NE(std::string::npos, run.out.find(std::string("member \"") + c.shown)) << c.shown << ": " << run.out;
        EXPECT_NE(std::string::npos, run.out.find(c.reason)) << c.shown << ": " << run.out;
        EXPECT_NE(std::string::npos, run.out.find("the installer cannot extract it as it is named")) << run.out;
    }

    // In CP932 a trail byte '\' or '|' is part of its character: sound there,
    // refused in the default CP1252 (the '|').
    TempDir work;
    ASSERT_EQ(0, RunShell("python3 " + ShellQuote(TALVOK_SOURCE_DIR "/tests/native/builder/make_named_zip.py") +
                          " " + ShellQuote(work / "sjis.zip") + " '\\x83\\x5c.txt' '\\x83\\x7c.txt'")
                     .exit_code);
    EXPECT_EQ(0, RunTvsfx({"build", "--quiet", "--out", work / "sjis.exe", "--from-zip", work / "sjis.zip",
                           "--codepage", "CP932"})
                     .exit_code);
    EXPECT_EQ(0, RunTvsfx({"verify", work / "sjis.exe", "--codepage", "CP932"}).exit_code);
    EXPECT_EQ(1, RunTvsfx({"build", "--quiet", "--out", work / "sjis.exe", "--from-zip", work / "sjis.zip"})
                     .exit_code);
}

TEST(FromZip, WhatTheExtractorCannotReadIsRefused)
{
    struct Case {
        const char *file;
        const char *message;
    } const cases[] = {
        {"COMPRESS-228.zip", "Zip64"},
        {"long-name.zip", "32767 bytes"},
        {"SHRUNK.ZIP", "method 1 (shrink)"},
        {"bzip2-zip.zip", "method 12 (bzip2)"},
        {"compress-692.zip", "method 93"},
        {"invalid-zip.zip", "not a zip archive"},
    };
    for (const Case &c : cases) {
        if (!HaveCorpusZip(c.file))
            continue;
        TempDir work;
        ToolRun run = RunTvsfx({"build", "--out", work / "setup.exe", "--from-zip", CorpusZip(c.file)});
        EXPECT_EQ(1, run.exit_code) << c.file;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.file << ": " << run.err;
        EXPECT_TRUE(FolderEntries(work.path()).empty()) << c.file;
    }

    // The same kinds made here by the peer tools (no tool writes shrink,
    // implode or zstd members; PPMd stands in for them).
    const struct {
        const char *file;
        const char *command;
        const char *message;
    } peer[] = {
        {"zip64.zip", "zip -q -r -fz \"$OUT_ZIP\" .", "a Zip64 archive"},
        {"bzip2.zip", "7z a -tzip -mm=BZip2 \"$OUT_ZIP\" .", "method 12 (bzip2)"},
        {"ppmd.zip", "7z a -tzip -mm=PPMd \"$OUT_ZIP\" .", "method 98 (PPMd)"},
        {"text.zip", "cat readme.txt >\"$OUT_ZIP\"", "not a zip archive"},
    };
    for (const auto &c : peer) {
        TempDir work;
        const std::string zip = MakePeerZip(work, c.file, c.command);
        if (zip.empty())
            continue;
        ToolRun run = RunTvsfx({"build", "--out", work / "setup.exe", "--from-zip", zip});
        EXPECT_EQ(1, run.exit_code) << c.file;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.file << ": " << run.err;
        EXPECT_FALSE(FileExists(work / "setup.exe")) << c.file;
    }

    // Members made with Python's zipfile: a name of 261 bytes, one over; a
    // folder entry with data, which the stub would not step over; no name.
    const struct {
        const char *member;
        const char *message;
    } made[] = {
        {"zipfile.ZipInfo('n' * 261)", "261 bytes"},
        {"'folder/'", "folder entry \"folder/\" carries 4 bytes"},
        {"zipfile.ZipInfo('')", "without a name"},
    };
    for (const auto &c : made) {
        TempDir work;
        ASSERT_EQ(0, RunShell(std::string("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w'); "
                                          "z.writestr(") + c.member + ",'data'); z.close()\" " +
                              ShellQuote(work / "made.zip"))
                         .exit_code);
        ToolRun run = RunTvsfx({"build", "--out", work / "setup.exe", "--from-zip", work / "made.zip"});
        EXPECT_EQ(1, run.exit_code) << c.member;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.member << ": " << run.err;
        EXPECT_FALSE(FileExists(work / "setup.exe")) << c.member;
    }
}

}  // namespace
}  // namespace builder_test
