// The extraction run in-process: the test program takes over the
// ParameterBlock of an installer that the builder made from a peer tool's
// archive, opens it as its archive, sets TargetFolder and calls
// ExtractionRun, as the main dialog will. The result is compared file by
// file, bytes and times, with what Info-ZIP unzip made of the same archive.
// Message boxes the run shows are read and answered from a second thread,
// the way a person answers them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "extract/crypt/member_input.h"
#include "extract/extraction_support.h"
#include "startup/message_table.h"
#include "support/test_files.h"

namespace {

using namespace stub_test;

TEST_F(ExtractionRunTest, PeerArchivesComeOutAsUnzipMakesThem)
{
    static char password[] = "clave secreta";
    for (const char *name : {"stored", "fast", "best", "comment", "comment-max", "deflate64", "descriptors",
                             "encrypted", "encrypted64", "encrypted-mixed", "directories", "marker"}) {
        Password = password;
        const std::string folder = std::string("out-") + name;
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        EXPECT_EQ(0, Run(Archives(std::string(name) + ".exe"), folder)) << name;
        const std::vector<std::string> &texts = boxes.Stop();
        EXPECT_TRUE(texts.empty()) << name << ": " << (texts.empty() ? "" : texts[0]);
        ExpectSameTree(Archives("expected\\" + std::string(name)), FullPath(folder), name);
    }
    Password = nullptr;
}

TEST_F(ExtractionRunTest, PasswordsThatDoNotFitEndTheRun)
{
    static char wrong[] = "clave equivocada";
    static char too_long[101];
    for (size_t i = 0; i < 100; i++)
        too_long[i] = 'c';
    const struct {
        const char *label;
        char *password;
        StringId message;
    } cases[] = {
        {"none held", nullptr, MSG_NO_PASSWORD},
        {"wrong", wrong, MSG_WRONG_PASSWORD},
        {"100 characters", too_long, MSG_WRONG_PASSWORD},
    };
    for (const auto &c : cases) {
        Password = c.password;
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        EXPECT_EQ(2, Run(Archives("encrypted.exe"), std::string("pw-") + c.label)) << c.label;
        const std::vector<std::string> &texts = boxes.Stop();
        ASSERT_EQ(1u, texts.size()) << c.label;
        EXPECT_EQ(Message(c.message), texts[0]) << c.label;
    }
    Password = nullptr;
}

}  // namespace
