// Reproducible builds: the same folder gives the same installer byte for
// byte; with SOURCE_DATE_EPOCH also across different file times and time
// zones; and an encrypted build too when its random source is seeded for
// tests, while the system's source makes every build's headers new.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <utime.h>

namespace builder_test {
namespace {

void SetTimes(const std::string &folder, time_t when)
{
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct utimbuf times = {when, when};
        utime(entry.path().c_str(), &times);
    }
}

class Reproducible : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeSamplePayload(dir / "one");
        MakeSamplePayload(dir / "two");
        SetTimes(dir / "one", 1300000000);  // 2011
        SetTimes(dir / "two", 1600000003);  // 2020
    }
    std::vector<uint8_t> Build(const std::string &folder, const std::string &environment,
                               std::vector<std::string> options = {})
    {
        const std::string out = dir / "out.exe";
        std::vector<std::string> arguments = {"build", "--quiet", "--out", out, "--from-dir", folder};
        arguments.insert(arguments.end(), options.begin(), options.end());
        ToolRun run = RunTvsfxWith(environment, arguments);
        EXPECT_EQ(0, run.exit_code) << run.err;
        std::vector<uint8_t> image = ReadBytes(out);
        std::filesystem::remove(out);
        return image;
    }
    TempDir dir;
};

TEST_F(Reproducible, SameFolderTwiceGivesTheSameBytes)
{
    const std::vector<uint8_t> first = Build(dir / "one", "");
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == Build(dir / "one", "")) << "file times";
    EXPECT_FALSE(first == Build(dir / "two", "")) << "other file times are recorded";
}

TEST_F(Reproducible, SourceDateEpochReplacesFileTimesAndTimeZones)
{
    const std::vector<uint8_t> first = Build(dir / "one", "SOURCE_DATE_EPOCH=1700000000 TZ=UTC");
    EXPECT_TRUE(first == Build(dir / "two", "SOURCE_DATE_EPOCH=1700000000 TZ=America/New_York"));
    EXPECT_TRUE(first == Build(dir / "two", "SOURCE_DATE_EPOCH=1700000000 TZ=Asia/Tokyo"));
    // 1700000000 is 2023-11-14 22:13:20 UTC, on every member.
    const LocalWalk walk = WalkLikeTheStub(first, ParseParameterBlock(first).first_local_header);
    ASSERT_EQ("", walk.failure);
    for (const LocalMember &member : walk.members) {
        EXPECT_EQ((2023 - 1980) << 9 | 11 << 5 | 14, member.date) << member.name;
        EXPECT_EQ(22 << 11 | 13 << 5 | 20 / 2, member.time) << member.name;
    }
}

TEST_F(Reproducible, SeededEncryptionIsReproducibleAndTheSystemSourceIsNot)
{
    const std::vector<std::string> password = {"--password", "s3cret"};
    const std::string seeded = "SOURCE_DATE_EPOCH=0 TVSFX_TEST_RANDOM_SEED=42";
    const std::vector<uint8_t> first = Build(dir / "one", seeded, password);
    EXPECT_TRUE(first == Build(dir / "two", seeded, password));
    EXPECT_FALSE(first == Build(dir / "one", "SOURCE_DATE_EPOCH=0 TVSFX_TEST_RANDOM_SEED=43", password));
    const std::vector<uint8_t> system_a = Build(dir / "one", "SOURCE_DATE_EPOCH=0", password);
    const std::vector<uint8_t> system_b = Build(dir / "one", "SOURCE_DATE_EPOCH=0", password);
    ASSERT_EQ(system_a.size(), system_b.size());
    EXPECT_FALSE(system_a == system_b) << "encryption headers from the system's random source";
}

TEST(ReproducibleEnvironment, MalformedValuesAreRefused)
{
    TempDir dir;
    MakeSamplePayload(dir / "payload");
    for (const char *assignment : {"SOURCE_DATE_EPOCH=yesterday", "SOURCE_DATE_EPOCH=-5",
                                   "TVSFX_TEST_RANDOM_SEED=seed"}) {
        ToolRun run = RunTvsfxWith(assignment, {"build", "--quiet", "--out", dir / "out.exe", "--from-dir",
                                                dir / "payload", "--password", "x"});
        EXPECT_EQ(1, run.exit_code) << assignment;
        EXPECT_NE(std::string::npos, run.err.find(std::string(assignment).substr(0, 10))) << run.err;
        EXPECT_FALSE(FileExists(dir / "out.exe")) << assignment;
    }
}

}  // namespace
}  // namespace builder_test
