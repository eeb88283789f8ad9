// The extraction run in-process: the test program takes over the
// ParameterBlock of an installer that the builder made from a peer tool's
// archive, opens it as its archive, sets TargetFolder and calls
// ExtractionRun, as the main dialog will. The result is compared file by
// file, bytes and times, with what Info-ZIP unzip made of the same archive.
// Message boxes the run shows are read and answered from a second thread,
// the way a person answers them.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
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
                             "encrypted", "encrypted64", "encrypted-mixed", "directories", "marker", "folders",
                             "deflate-slack", "7z-lzma", "7z-lzma-encrypted", "lzma-built", "lzma-built-encrypted", "7z-aes256",
                             "7z-aes128-deflate64", "7z-aes192-lzma", "7z-aes256-stored", "aes-mixed", "ae1"}) {
        Password = password;
        const std::string folder = std::string("out-") + name;
        RemoveTree(FullPath(folder));  // what an earlier test run left
        ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(FullPath(folder).c_str())) << folder;
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        EXPECT_EQ(0, Run(Archives(std::string(name) + ".exe"), folder)) << name;
        const std::vector<std::string> &texts = boxes.Stop();
        EXPECT_TRUE(texts.empty()) << name << ": " << (texts.empty() ? "" : texts[0]);
        ExpectSameTree(Archives("expected\\" + std::string(name)), FullPath(folder), name);
    }
    Password = nullptr;
}

// A run takes the folders an earlier member of the same run probed or made
// as there; the next run must not: here its folders were removed between.
TEST_F(ExtractionRunTest, NextRunMakesTheFoldersAgain)
{
    for (int run = 1; run <= 2; run++) {
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        EXPECT_EQ(0, Run(Archives("folders.exe"), "again")) << "run " << run;
        const std::vector<std::string> &texts = boxes.Stop();
        EXPECT_TRUE(texts.empty()) << "run " << run << ": " << (texts.empty() ? "" : texts[0]);
        ExpectSameTree(Archives("expected\\folders"), FullPath("again"), "run " + std::to_string(run));
        RemoveTree(FullPath("again"));
        ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(FullPath("again").c_str()));
    }
}

// What already stands inside the target folder where a member's folder goes
// is taken as that folder: a folder with a file of its own keeps it and
// gets the members; a file of the folder's name is left as it is, and the
// member whose folder it stands in for cannot be created.
TEST_F(ExtractionRunTest, WhatStandsWhereAFolderGoesIsTakenAsIt)
{
    const std::string folder = FullPath("standing");
    const struct {
        const char *label;
        bool file_in_the_way;
    } cases[] = {{"a folder", false}, {"a file", true}};
    for (const auto &c : cases) {
        RemoveTree(folder);
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << c.label;
        const std::string sub = folder + "\\d\\sub";
        ASSERT_TRUE(CreateDirectoryA((folder + "\\d").c_str(), nullptr)) << c.label;
        if (c.file_in_the_way) {
            std::ofstream(sub, std::ios::binary) << "en medio";
        } else {
            ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr)) << c.label;
            std::ofstream(sub + "\\propio.txt", std::ios::binary) << "propio";
        }
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        EXPECT_EQ(c.file_in_the_way ? 2 : 0, Run(Archives("folders.exe"), "standing")) << c.label;
        const std::vector<std::string> &texts = boxes.Stop();
        if (c.file_in_the_way) {
            ASSERT_EQ(1u, texts.size()) << c.label;
            EXPECT_EQ(Format(MSG_CANNOT_CREATE_FILE, (sub + "\\one.txt").c_str()), texts[0]) << c.label;
            EXPECT_EQ("en medio", ReadWholeFile(sub)) << c.label;
        } else {
            EXPECT_TRUE(texts.empty()) << c.label << ": " << (texts.empty() ? "" : texts[0]);
            EXPECT_EQ("propio", ReadWholeFile(sub + "\\propio.txt")) << c.label;
            EXPECT_EQ(std::string("d/sub/one.txt\n"), ReadWholeFile(sub + "\\one.txt")) << c.label;
        }
    }
    RemoveTree(folder);
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

// The public peer archives, where ../shared is present: the sound ones come
// out as unzip makes them, the others end with the message their kind of
// damage or method has (checked up to the message's first argument).
TEST_F(ExtractionRunTest, PublicPeerArchivesEndAsExpected)
{
    std::ifstream cases(Archives("corpus\\cases.txt").substr(2));  // the Unix path behind Z:
    if (!cases)
        GTEST_SKIP() << "../shared/corpus/peer-zips is not here: its archives are not run";
    std::string file, expect;
    int count = 0;
    while (cases >> file >> expect) {
        const std::string name = file.substr(0, file.rfind('.')), folder = "corpus-" + name;
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        const int result = Run(Archives("corpus\\" + name + ".exe"), folder);
        const std::vector<std::string> &texts = boxes.Stop();
        count++;
        if (expect == "tree" || expect == "runs") {
            EXPECT_EQ(0, result) << file;
            EXPECT_TRUE(texts.empty()) << file << ": " << (texts.empty() ? "" : texts[0]);
            if (expect == "tree")
                ExpectSameTree(Archives("expected\\corpus-" + name), FullPath(folder), file);
            continue;
        }
        const std::string message = Message(static_cast<StringId>(std::stoi(expect)));
        const std::string fixed_part = message.substr(0, message.find('%'));
        EXPECT_EQ(2, result) << file;
        ASSERT_EQ(1u, texts.size()) << file;
        EXPECT_EQ(fixed_part, texts[0].substr(0, fixed_part.size())) << file << ": " << texts[0];
    }
    EXPECT_GT(count, 0);
}

}  // namespace
