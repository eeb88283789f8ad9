// --verbatim: archives put into the installer as they are. A sound archive
// comes out re-based so that unzip accepts the installer; damaged and
// unusual ones (broken signatures, methods and Zip64 records the stub does
// not read, truncation, bytes that are no archive at all) are accepted with
// their bytes unchanged except for the offsets that could be re-based, and
// with the ParameterBlock filled from whatever parsed.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace builder_test {
namespace {

constexpr size_t END_RECORD_BYTES = 22;

void PutLe32(std::vector<uint8_t> &bytes, size_t offset, uint32_t value)
{
    for (int index = 0; index < 4; index++)
        bytes[offset + index] = static_cast<uint8_t>(value >> (8 * index));
}

bool SignatureAt(const std::vector<uint8_t> &bytes, size_t at, uint8_t third, uint8_t fourth)
{
    return at + 4 <= bytes.size() && bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == third &&
           bytes[at + 3] == fourth;
}

// The last complete end record; npos when there is none.
size_t LastEndRecord(const std::vector<uint8_t> &zip)
{
    if (zip.size() < END_RECORD_BYTES)
        return std::string::npos;
    for (size_t at = zip.size() - END_RECORD_BYTES + 1; at-- > 0;)
        if (SignatureAt(zip, at, 5, 6))
            return at;
    return std::string::npos;
}

// Positions of the fields re-basing must move in an archive whose directory
// is found: the end record's directory offset, then the local header offset
// of each central header up to the first one that is not there.
std::vector<size_t> OffsetFields(const std::vector<uint8_t> &zip)
{
    const size_t end = LastEndRecord(zip);
    std::vector<size_t> fields = {end + 16};
    const size_t directory_end = size_t(Le32(zip, end + 16)) + Le32(zip, end + 12);
    for (size_t at = Le32(zip, end + 16); at < directory_end && SignatureAt(zip, at, 1, 2);
         at += 46 + Le16(zip, at + 28) + Le16(zip, at + 30) + Le16(zip, at + 32))
        fields.push_back(at + 42);
    return fields;
}

uint32_t CentralTotal(const std::vector<uint8_t> &zip)
{
    uint32_t total = 0;
    for (const CentralMember &member : CentralDirectory(zip, LastEndRecord(zip)))
        total += member.uncompressed_bytes;
    return total;
}

// Local headers as the stub walks them, from the first byte.
uint32_t LocalTotal(const std::vector<uint8_t> &zip)
{
    uint32_t total = 0;
    for (const LocalMember &member : WalkLikeTheStub(zip, 0).members)
        total += member.uncompressed_bytes;
    return total;
}

struct Built {
    ToolRun run;
    std::vector<uint8_t> image;
    ParameterView block;
};

Built BuildVerbatim(const TempDir &work, const std::string &zip, std::vector<std::string> extra = {})
{
    std::vector<std::string> arguments = {"build", "--out", work / "setup.exe", "--from-zip", zip, "--verbatim"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    Built built;
    built.run = RunTvsfx(arguments);
    built.image = ReadBytes(work / "setup.exe");
    built.block = ParseParameterBlock(built.image);
    return built;
}

// The archive stands at the first local header as given, with base added to
// each field in rebased; zero padding after it ends the file and the
// _talvok_ section on FileAlignment; the self-check's CRC covers everything
// before it.
void ExpectPlacedAsGiven(const std::vector<uint8_t> &original, const Built &built,
                         const std::vector<size_t> &rebased, const std::string &label)
{
    const std::vector<uint8_t> &image = built.image;
    const size_t base = built.block.first_local_header;
    std::vector<uint8_t> expected = original;
    for (size_t field : rebased)
        PutLe32(expected, field, Le32(original, field) + uint32_t(base));
    ASSERT_LE(base + original.size(), image.size()) << label;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.begin() + base)) << label;

    const PeView pe = ParsePe(image);
    ASSERT_FALSE(pe.sections.empty()) << label;
    const PeSection &section = pe.sections.back();
    EXPECT_EQ("_talvok_", section.name) << label;
    EXPECT_EQ(built.block.header, section.raw_offset) << label;
    EXPECT_LT(built.block.header, base) << label << ": the header comes first";
    EXPECT_EQ(image.size(), size_t(section.raw_offset) + section.raw_size) << label;
    EXPECT_EQ(0u, image.size() % pe.file_alignment) << label;
    EXPECT_GT(size_t(pe.file_alignment), image.size() - base - original.size()) << label << ": least padding";
    EXPECT_TRUE(std::all_of(image.begin() + base + original.size(), image.end(), [](uint8_t b) { return b == 0; }))
        << label << ": the padding is zero bytes";
    EXPECT_EQ(ReferenceCrc(image, built.block), built.block.crc) << label;
    EXPECT_EQ(0xFFFF, built.block.completion) << label;
}

// An archive from zip comes out with its members' bytes where they were
// relative to each other and every offset re-based: unzip tests the
// installer clean (it exits 1 on an archive whose offsets are off by the
// stub's size), and the stub's own walk from the first local header reaches
// the end record the ParameterBlock names.
TEST(Verbatim, SoundArchiveIsRebased)
{
    for (const char *arch : {"x86", "x64"}) {
        if (std::string(arch) == "x64" && std::string(TALVOK_STUB64_EXE).empty())
            continue;
        TempDir work;
        const std::string zip = MakePeerZip(work, "sound.zip", "zip -q -r \"$OUT_ZIP\" .");
        ASSERT_FALSE(zip.empty());
        const std::vector<uint8_t> original = ReadBytes(zip);
        const Built built = BuildVerbatim(work, zip, {"--arch", arch});
        ASSERT_EQ(0, built.run.exit_code) << arch << ": " << built.run.err;

        ExpectPlacedAsGiven(original, built, OffsetFields(original), arch);
        const size_t base = built.block.first_local_header;
        EXPECT_EQ(base + LastEndRecord(original), built.block.end_record) << arch;
        EXPECT_EQ(CentralTotal(original), built.block.total_size) << arch;
        EXPECT_EQ(0u, built.block.flags) << arch;
        const LocalWalk walk = WalkLikeTheStub(built.image, base);
        EXPECT_EQ("", walk.failure) << arch;
        EXPECT_EQ(built.block.end_record, walk.end_record) << arch;
        EXPECT_EQ(WalkLikeTheStub(original, 0).members.size(), walk.members.size()) << arch;

        const ToolRun unzip = RunShell("unzip -t " + ShellQuote(work / "setup.exe"));
        EXPECT_EQ(0, unzip.exit_code) << arch << "\n" << unzip.out << unzip.err;
        const std::string source =
            "from the " + std::to_string(CentralDirectory(original, LastEndRecord(original)).size()) +
            " headers of the central directory";
        EXPECT_NE(std::string::npos, built.run.out.find(source)) << arch << ": the summary names the total's source\n"
                                                                  << built.run.out;
    }
}

// The disk-set bit given through --flags does not take the archive out of
// the single file: it is put in as given all the same (it once came out
// empty, laid out for a disk set that --verbatim never writes).
TEST(Verbatim, DiskSetBitKeepsTheArchive)
{
    TempDir work;
    const std::string zip = MakePeerZip(work, "sound.zip", "zip -q -r \"$OUT_ZIP\" .");
    ASSERT_FALSE(zip.empty());
    const std::vector<uint8_t> original = ReadBytes(zip);
    const Built built = BuildVerbatim(work, zip, {"--flags", "0x1000"});
    ASSERT_EQ(0, built.run.exit_code) << built.run.err;
    EXPECT_EQ(0x1000u, built.block.flags);
    ExpectPlacedAsGiven(original, built, OffsetFields(original), "--flags 0x1000");
    EXPECT_EQ(CentralTotal(original), built.block.total_size);
}

// How a case's archive is made: a peer tool's command (run by MakePeerZip in
// a folder holding the sample payload), then a change to its bytes.
enum class Damage {
    None,
    LocalSignature,      // the first local header's "PK\3\4" reads "PK\3\5"
    SecondCentralHeader, // the second central header's signature broken
    DirectoryOutside,    // the end record's directory offset points past the end
    TruncateHalf,        // the file cut in half: no end record
};

enum class Total { Central, Local, None };

struct DamageCase {
    const char *label;
    const char *command;        // nullptr: the bytes come from make_bytes
    std::vector<uint8_t> (*make_bytes)();
    Damage damage;
    bool end_record;            // an end record is found
    bool rebased;               // its directory lies inside the file
    Total total;
    bool totals_differ;         // the other source would give another total
    uint32_t flags;             // derived: bit 8 when a header that parses is encrypted
    bool unzip_accepts;         // unzip -t passes on the installer
    const char *summary;        // what the summary says of the total
};

std::vector<uint8_t> Garbage()
{
    std::mt19937 random(3);
    std::vector<uint8_t> bytes(5000);
    for (uint8_t &byte : bytes)
        byte = static_cast<uint8_t>(random() % 0x50);  // never 'P': no signature
    return bytes;
}
std::vector<uint8_t> Nothing() { return {}; }

void ApplyDamage(std::vector<uint8_t> &zip, Damage damage)
{
    const size_t end = LastEndRecord(zip);
    switch (damage) {
    case Damage::None:
        break;
    case Damage::LocalSignature:
        zip[3] = 5;
        break;
    case Damage::SecondCentralHeader: {
        const size_t first = Le32(zip, end + 16);
        zip[first + 46 + Le16(zip, first + 28) + Le16(zip, first + 30) + Le16(zip, first + 32) + 3] = 9;
        break;
    }
    case Damage::DirectoryOutside:
        PutLe32(zip, end + 16, uint32_t(zip.size()));
        break;
    case Damage::TruncateHalf:
        zip.resize(zip.size() / 2);
        break;
    }
}

TEST(Verbatim, DamagedAndUnusualArchivesAreTakenAsTheyAre)
{
    const char *const zip_r = "zip -q -r \"$OUT_ZIP\" .";
    const DamageCase cases[] = {
        // The directory still names every member; the stub's walk stops at once.
        {"local signature broken", zip_r, nullptr, Damage::LocalSignature, true, true, Total::Central, true, 0,
         false, "headers of the central directory"},
        // The directory is re-based up to the broken header; the total
        // comes from the local headers, which all parse.
        {"central header broken", zip_r, nullptr, Damage::SecondCentralHeader, true, true, Total::Local, false, 0,
         false, "local headers that parse"},
        {"bzip2 (method 12)", "zip -q -r -Z bzip2 \"$OUT_ZIP\" .", nullptr, Damage::None, true, true, Total::Central,
         false, 0, true, "headers of the central directory"},
        // Written to a pipe: zero sizes in the local headers, descriptors
        // after the data (bit 3), kept as they are.
        {"streamed", "zip -q -r - . | cat >\"$OUT_ZIP\"", nullptr, Damage::None, true, true, Total::Central, true, 0,
         true, "headers of the central directory"},
        // The end record holds the Zip64 mark 0xFFFFFFFF for the directory
        // offset, which points nowhere: nothing is re-based, and the total
        // is the first local header's Zip64 mark, the walk stopping there.
        {"Zip64", "zip -q -r -fz \"$OUT_ZIP\" .", nullptr, Damage::None, true, false, Total::Local, true, 0, false,
         "local headers that parse"},
        {"directory outside", zip_r, nullptr, Damage::DirectoryOutside, true, false, Total::Local, true, 0, false,
         "local headers that parse"},
        {"trailer", "zip -q -r \"$OUT_ZIP\" . && printf 'PK bytes after the end record' >>\"$OUT_ZIP\"", nullptr,
         Damage::None, true, true, Total::Central, false, 0, false, "headers of the central directory"},
        {"truncated", zip_r, nullptr, Damage::TruncateHalf, false, false, Total::Local, true, 0, false,
         "local headers that parse"},
        {"truncated, encrypted", "zip -q -r -P secret \"$OUT_ZIP\" .", nullptr, Damage::TruncateHalf, false, false,
         Total::Local, true, 0x100, false, "local headers that parse"},
        {"encrypted", "zip -q -r -P secret \"$OUT_ZIP\" .", nullptr, Damage::None, true, true, Total::Central, false,
         0x100, false, "headers of the central directory"},
        {"garbage", nullptr, Garbage, Damage::None, false, false, Total::None, false, 0, false, "neither"},
        {"empty file", nullptr, Nothing, Damage::None, false, false, Total::None, false, 0, false, "neither"},
    };
    for (const DamageCase &c : cases) {
        TempDir work;
        std::vector<uint8_t> original;
        if (c.command) {
            const std::string made = MakePeerZip(work, "made.zip", c.command);
            ASSERT_FALSE(made.empty()) << c.label;
            original = ReadBytes(made);
        } else
            original = c.make_bytes();
        ApplyDamage(original, c.damage);
        WriteBytes(work / "input.zip", original);
        // The fixture is what the case says it is.
        const size_t end = LastEndRecord(original);
        ASSERT_EQ(c.end_record, end != std::string::npos) << c.label;
        if (c.end_record)
            ASSERT_EQ(c.rebased, size_t(Le32(original, end + 16)) + Le32(original, end + 12) <= original.size())
                << c.label;
        if (c.totals_differ)
            ASSERT_NE(CentralTotal(original), LocalTotal(original)) << c.label;

        const Built built = BuildVerbatim(work, work / "input.zip");
        ASSERT_EQ(0, built.run.exit_code) << c.label << ": " << built.run.err;
        ExpectPlacedAsGiven(original, built, c.rebased ? OffsetFields(original) : std::vector<size_t>{}, c.label);
        const uint32_t base = built.block.first_local_header;
        EXPECT_EQ(c.end_record ? base + end : 0u, built.block.end_record) << c.label;
        const uint32_t total = c.total == Total::Central ? CentralTotal(original)
                               : c.total == Total::Local ? LocalTotal(original)
                                                         : 0;
        EXPECT_EQ(total, built.block.total_size) << c.label;
        EXPECT_EQ(c.flags, built.block.flags) << c.label;
        EXPECT_NE(std::string::npos, built.run.out.find(c.summary)) << c.label << "\n" << built.run.out;
        if (c.unzip_accepts) {
            const ToolRun unzip = RunShell("unzip -t " + ShellQuote(work / "setup.exe"));
            EXPECT_EQ(0, unzip.exit_code) << c.label << "\n" << unzip.out << unzip.err;
        }
    }
}

TEST(Verbatim, NeedsFromZip)
{
    TempDir dir;
    MakeSamplePayload(dir / "payload");
    const std::string out = dir / "setup.exe";
    struct Case {
        std::vector<std::string> arguments;
        const char *message;
    } const cases[] = {
        {{"build", "--out", out, "--from-dir", dir / "payload", "--verbatim"}, "--verbatim"},
        {{"build", "--out", out, "--verbatim"}, "exactly one of"},
        {{"build", "--out", out, "--from-zip", dir / "x.zip", "--verbatim=yes"}, "takes no value"},
    };
    for (const Case &c : cases) {
        const ToolRun run = RunTvsfx(c.arguments);
        EXPECT_EQ(1, run.exit_code) << c.message;
        EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.message << ": " << run.err;
        EXPECT_FALSE(FileExists(out)) << c.message;
    }

    const ToolRun help = RunTvsfx({"--help"});
    const size_t tests_only = help.out.find("For tests only:");
    const size_t verbatim = help.out.find("--verbatim");
    ASSERT_NE(std::string::npos, tests_only);
    EXPECT_NE(std::string::npos, verbatim);
    EXPECT_GT(verbatim, tests_only) << "--verbatim is listed among the options for tests";
}

TEST(Verbatim, BuildIsReproducible)
{
    TempDir work;
    std::vector<uint8_t> zip = ReadBytes(MakePeerZip(work, "made.zip", "zip -q -r -P secret \"$OUT_ZIP\" ."));
    ApplyDamage(zip, Damage::SecondCentralHeader);
    WriteBytes(work / "input.zip", zip);
    std::vector<uint8_t> images[2];
    for (int index = 0; index < 2; index++) {
        const std::string out = work / ("setup-" + std::to_string(index) + ".exe");
        const ToolRun run = RunTvsfx(
            {"build", "--quiet", "--out", out, "--from-zip", work / "input.zip", "--verbatim", "--title", "T"});
        ASSERT_EQ(0, run.exit_code) << run.err;
        images[index] = ReadBytes(out);
    }
    EXPECT_FALSE(images[0].empty());
    EXPECT_TRUE(images[0] == images[1]);
}

}  // namespace
}  // namespace builder_test
