// tvsfx info: the stub, the ParameterBlock, the flags by name, the header's
// texts and the members, as text and as JSON (read back with Python's json
// module and compared with the tests' own walk of the file).
#include "builder_support.h"

#include <gtest/gtest.h>

namespace builder_test {
namespace {

class Info : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeSamplePayload(dir / "payload");
        ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "setup.exe",
                                  {"--arch", "x64", "--title", "Título", "--auto", "--intro-ok-cancel", "--intro",
                                   "¿Seguimos?", "--command", "setup.bat", "--password", "pw"})
                         .exit_code);
    }
    TempDir dir;
};

TEST_F(Info, TextShowsEverythingAPersonLooksFor)
{
    ToolRun run = RunTvsfx({"info", dir / "setup.exe"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
    const ParameterView block = ParseParameterBlock(image);
    const LocalWalk walk = WalkLikeTheStub(image, block.first_local_header);
    const std::string members = "members              6, " + std::to_string(block.total_size) + " bytes unpacked";
    for (const std::string &expected :
         {std::string("x64 (PE32+ x86-64)"), std::string("0x00180310 title password-prompt auto intro-ok-cancel"),
          std::string("title              \"Título\""), std::string("intro              \"¿Seguimos?\""),
          std::string("command            \"setup.bat\""), members, std::string("signature            none")})
        EXPECT_NE(std::string::npos, run.out.find(expected)) << expected << "\n" << run.out;
    for (const LocalMember &member : walk.members) {
        char line[128];
        std::snprintf(line, sizeof line, "%10u %10u  0x%08X  %-9s  %s\n", member.compressed_bytes,
                      member.uncompressed_bytes, member.crc,
                      (member.flags & 1) ? (member.method == 99 ? "AES-256" : "zipcrypto") : "no", member.name.c_str());
        EXPECT_NE(std::string::npos, run.out.find(line)) << line << run.out;
    }
}

TEST_F(Info, JsonCarriesTheSameFacts)
{
    ToolRun run = RunTvsfx({"info", "--json", dir / "setup.exe"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    WriteText(dir / "info.json", run.out);
    // One line per member and the fields around them, as Python reads them.
    const char *script = R"(import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
print(d["stub"]["arch"], d["parameter_block"]["flags"]["word"], " ".join(d["parameter_block"]["flags"]["names"]))
print(d["header"]["fields"]["title"], d["header"]["fields"]["command"])
for m in d["members"]:
    print(m["name"], m["method_id"], m["compressed_bytes"], m["uncompressed_bytes"], m["crc"], m["encrypted"], m["cipher"]))";
    WriteText(dir / "read.py", script);
    ToolRun read = RunShell("python3 " + ShellQuote(dir / "read.py") + " " + ShellQuote(dir / "info.json"));
    ASSERT_EQ(0, read.exit_code) << read.err << run.out;

    std::string expected = "x64 1573648 title password-prompt auto intro-ok-cancel\nTítulo setup.bat\n";
    const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
    for (const LocalMember &member : WalkLikeTheStub(image, ParseParameterBlock(image).first_local_header).members)
        expected += member.name + " " + std::to_string(member.method) + " " + std::to_string(member.compressed_bytes) +
                    " " + std::to_string(member.uncompressed_bytes) + " " + std::to_string(member.crc) + " " +
                    ((member.flags & 1) ? "True " : "False ") +
                    ((member.flags & 1) ? (member.method == 99 ? "AES-256" : "zipcrypto") : "no") + "\n";
    EXPECT_EQ(expected, read.out);
}

// The deployment options by name, in the text and in the JSON.
TEST_F(Info, NamesTheDeploymentOptions)
{
    ASSERT_EQ(0, BuildFromDir(dir / "payload", dir / "deploy.exe",
                              {"--command", "setup.bat", "--hidden", "--exit-codes", "--no-error-boxes", "--wait-all"})
                     .exit_code);
    ToolRun text = RunTvsfx({"info", dir / "deploy.exe"});
    ASSERT_EQ(0, text.exit_code) << text.err;
    EXPECT_NE(std::string::npos, text.out.find("0x07400000 hidden exit-codes no-error-boxes wait-all")) << text.out;
    ToolRun json = RunTvsfx({"info", "--json", dir / "deploy.exe"});
    ASSERT_EQ(0, json.exit_code) << json.err;
    EXPECT_NE(std::string::npos,
              json.out.find("\"names\": [\n        \"hidden\",\n        \"exit-codes\",\n        \"no-error-boxes\",\n"
                            "        \"wait-all\"\n      ]"))
        << json.out;
}

}  // namespace
}  // namespace builder_test
