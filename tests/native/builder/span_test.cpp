// tvsfx build --span and tvsfx verify of a disk set: the disks' sizes, files
// and labels; disk 1's program loadable (its sections within its file); the disks joined back walk like one installer, with every cut
// between records or inside member data (checked here by the tests' own
// walker, not the builder's); verify passes a sound set and reports disks
// missing or out of order; refusals of sizes that cannot work.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <random>

namespace builder_test {
namespace {

// Incompressible files of known sizes, and enough small ones that records
// fall near the cuts too.
void MakeSpanPayload(const std::string &folder)
{
    std::mt19937 random(5);
    auto noise = [&](size_t bytes) {
        std::vector<uint8_t> data(bytes);
        for (uint8_t &byte : data)
            byte = static_cast<uint8_t>(random());
        return data;
    };
    RunShell("mkdir -p " + ShellQuote(folder + "/docs"));
    WriteBytes(folder + "/big.bin", noise(70000));
    WriteBytes(folder + "/docs/middle.bin", noise(30000));
    for (int index = 0; index < 40; index++)
        WriteBytes(folder + "/docs/small" + std::to_string(index) + ".bin", noise(700 + index));
    WriteText(folder + "/leeme.txt", "hola\n");
}

std::vector<std::string> Verify(const std::vector<std::string> &folders)
{
    std::vector<std::string> arguments = {"verify"};
    arguments.insert(arguments.end(), folders.begin(), folders.end());
    return arguments;
}

class Span : public ::testing::Test {
protected:
    void SetUp() override { MakeSpanPayload(dir / "payload"); }
    TempDir dir;
};

TEST_F(Span, DisksHoldTheInstallerCutBetweenRecords)
{
    const struct {
        const char *naming;
        std::vector<std::string> options;
        size_t disk_bytes;
    } cases[] = {
        {"zip", {"--span", "60k"}, 60 * 1024},
        {"exe", {"--span", "70000", "--exe-volumes"}, 70000},
    };
    for (const auto &c : cases) {
        const std::string set = dir / c.naming;
        RunShell("mkdir -p " + ShellQuote(set));
        ToolRun run = BuildFromDir(dir / "payload", set + "/INSTALL.EXE", c.options);
        ASSERT_EQ(0, run.exit_code) << c.naming << ": " << run.err;
        EXPECT_FALSE(FileExists(set + "/INSTALL.EXE")) << c.naming << ": a set writes no single file";

        std::vector<std::string> folders;
        std::string labels;
        for (int number = 1; FileExists(set + "/disk" + std::to_string(number)); number++) {
            folders.push_back(set + "/disk" + std::to_string(number));
            char label[32];
            std::snprintf(label, sizeof label, "disk%d PKBACK# %03d\n", number, number);
            labels += label;
        }
        ASSERT_GE(folders.size(), 3u) << c.naming;
        const std::vector<uint8_t> written = ReadBytes(set + "/labels.txt");
        EXPECT_EQ(labels, std::string(written.begin(), written.end())) << c.naming;

        // Joined as the installer reads them, noting where each disk begins.
        const bool exe = std::string(c.naming) == "exe";
        std::vector<uint8_t> image = ReadBytes(folders[0] + "/INSTALL.EXE");
        const ParameterView block = ParseParameterBlock(image);
        // The program on disk 1 must load: no section reaches past its file.
        for (const PeSection &section : ParsePe(image).sections)
            EXPECT_LE(section.raw_offset + section.raw_size, image.size()) << c.naming << ": " << section.name;
        EXPECT_EQ(exe ? 0x9000u : 0x1000u, block.flags & 0x9000u) << c.naming;
        std::vector<size_t> cuts;
        for (size_t index = 0; index < folders.size(); index++) {
            std::vector<std::string> entries = FolderEntries(folders[index]);
            size_t disk_total = 0;
            for (const std::string &entry : entries)
                disk_total += ReadBytes(folders[index] + "/" + entry).size();
            EXPECT_LE(disk_total, c.disk_bytes) << c.naming << ": disk " << index + 1;
            if (index == 0 && exe) {
                EXPECT_EQ(std::vector<std::string>{"INSTALL.EXE"}, entries) << c.naming;
                continue;
            }
            std::vector<uint8_t> part = ReadBytes(folders[index] + (exe ? "/INSTALL.EXE" : "/INSTALL.ZIP"));
            ASSERT_FALSE(part.empty()) << c.naming << ": disk " << index + 1;
            if (index == 0) {
                EXPECT_EQ(block.first_local_header, image.size()) << c.naming << ": the program ends at its archive";
                ASSERT_EQ((std::vector<uint8_t>{'P', 'K', 7, 8}), std::vector<uint8_t>(part.begin(), part.begin() + 4))
                    << c.naming << ": the first .ZIP opens with the spanning marker";
                part.erase(part.begin(), part.begin() + 4);
            } else {
                cuts.push_back(image.size());
            }
            image.insert(image.end(), part.begin(), part.end());
        }
        const LocalWalk walk = WalkLikeTheStub(image, block.first_local_header);
        ASSERT_EQ("", walk.failure) << c.naming;
        EXPECT_EQ(44u, walk.members.size()) << c.naming << ": 43 files and the folder docs/";
        for (size_t cut : cuts) {
            bool allowed = cut >= walk.central_offset;  // the directory's records are checked by verify
            for (const LocalMember &member : walk.members) {
                allowed = allowed || cut == member.offset || cut == member.offset + 4 ||
                          (cut >= member.data_offset && cut <= member.data_offset + member.compressed_bytes);
            }
            EXPECT_TRUE(allowed) << c.naming << ": a disk begins at 0x" << std::hex << cut;
        }

        run = RunTvsfx(Verify(folders));
        EXPECT_EQ(0, run.exit_code) << c.naming << ": " << run.out << run.err;
        std::vector<std::string> swapped = folders;
        std::swap(swapped[1], swapped[2]);
        run = RunTvsfx(Verify(swapped));
        EXPECT_EQ(1, run.exit_code) << c.naming << ": disks out of order: " << run.out;
        std::vector<std::string> short_set(folders.begin(), folders.end() - 1);
        short_set.push_back(set + "/disk99");
        run = RunTvsfx(Verify(short_set));
        EXPECT_EQ(1, run.exit_code) << c.naming << ": a disk missing: " << run.out;
        EXPECT_NE(std::string::npos, run.out.find("has no INSTALL.")) << run.out;
    }
}

TEST_F(Span, SizesThatCannotWorkAreRefused)
{
    const struct {
        std::vector<std::string> options;
        const char *reason;
    } cases[] = {
        {{"--span", "big"}, "is not a disk size"},
        // Neither a sign nor a product past 64 bits wraps round to a size
        // that works: 2^34 g is 2^64 bytes, one more g 2^64 + 2^30.
        {{"--span", "0"}, "is not a disk size"},
        {{"--span", "-1"}, "is not a disk size"},
        {{"--span", "-1440k"}, "is not a disk size"},
        {{"--span", " 1440k"}, "is not a disk size"},
        {{"--span", "17179869184g"}, "is not a disk size"},
        {{"--span", "17179869185g"}, "is not a disk size"},
        {{"--span", "99999999999999999999"}, "is not a disk size"},
        {{"--span", "1440x"}, "is not a disk size"},
        {{"--span", "10k"}, "does not fit on a disk"},
        {{"--exe-volumes"}, "needs --span"},
    };
    for (const auto &c : cases) {
        const ToolRun run = BuildFromDir(dir / "payload", dir / "out.exe", c.options);
        EXPECT_EQ(1, run.exit_code) << c.reason;
        EXPECT_NE(std::string::npos, run.err.find(c.reason)) << run.err;
        EXPECT_FALSE(FileExists(dir / "disk1")) << c.reason;
    }
}

}  // namespace
}  // namespace builder_test
