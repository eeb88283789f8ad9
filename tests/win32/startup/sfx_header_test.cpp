// Reading the header in-process: the test program takes over an installer's
// ParameterBlock, opens the installer as its archive and reads the header
// exactly as start-up does, then looks at every buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "startup/installer_support.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "startup/sfx_header.h"
#include "startup/stub_support.h"

namespace {

using namespace stub_test;

class HeaderReading : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ResetRunState();
        AppInstance = GetModuleHandleA(nullptr);
        ASSERT_EQ(0, AllocateRunBuffers());
        PrepareDecoder();
    }

    // Reads the header of the installer variant into the run-wide buffers.
    static void Load(const std::string &variant)
    {
        std::string content = ReadWholeFile(Installer(variant));
        std::vector<uint8_t> bytes(content.begin(), content.end());
        size_t block = FindBlock(bytes);
        ASSERT_NE(std::string::npos, block) << variant;
        CopyMemory(ParameterBlock, bytes.data() + block, PARAMETER_BLOCK_BYTES);
        for (char *buffer : {DialogText, Title, RunCommand, RunParameters, InfoText, AboutText})
            buffer[0] = '\0';
        if (IntroText)
            LocalFree(IntroText);
        IntroText = nullptr;
        if (ArchiveFile != HFILE_ERROR)
            _lclose(ArchiveFile);
        ArchiveFile = _lopen(Installer(variant).c_str(), OF_SHARE_DENY_WRITE);
        ASSERT_NE(HFILE_ERROR, ArchiveFile);
        ReadHeader();
    }
};

TEST_F(HeaderReading, FieldsLandInTheirBuffers)
{
    Load("intro-ok");
    EXPECT_STREQ("", AboutText);
    EXPECT_STREQ("setup.exe", RunCommand);
    EXPECT_STREQ("", RunParameters);
    EXPECT_EQ(Ansi("Texto del diálogo de prueba"), DialogText);
    EXPECT_EQ(Ansi("Título de prueba"), Title);
    ASSERT_NE(nullptr, IntroText);
    EXPECT_EQ(Ansi("¿Seguimos?"), IntroText);
    EXPECT_EQ(Ansi("Información: -t* -sta"), InfoText);
}

TEST_F(HeaderReading, WithoutTitleOrIntroTheirFieldsAreSkipped)
{
    Load("no-intro-buttons");
    EXPECT_STREQ("", Title);
    EXPECT_EQ(nullptr, IntroText) << "an empty intro field makes no intro block";
    EXPECT_STREQ("sin pregunta", DialogText);
}

TEST_F(HeaderReading, FieldsAtTheirBoundsFit)
{
    Load("long-header");
    EXPECT_EQ(std::string(515, 'a'), AboutText);
    ASSERT_NE(nullptr, IntroText);
    EXPECT_EQ(std::string(513, 'b'), IntroText);
    EXPECT_EQ(std::string(511, 'c'), InfoText);
    EXPECT_EQ(std::string(256, 'd'), DialogText);
}

TEST_F(HeaderReading, Argv0AddsTheProgramsOwnPath)
{
    char module_name[MAX_PATH];
    GetModuleFileNameA(nullptr, module_name, sizeof module_name);
    Load("argv0");
    EXPECT_EQ(std::string(" -argv0 ") + module_name, RunParameters) << "leading blank included";
    EXPECT_EQ(Ansi("Acerca de la prueba"), AboutText);
    EXPECT_STREQ("", InfoText);
    Load("argv0-with-parameters");
    EXPECT_EQ(std::string("/quiet -argv0 ") + module_name, RunParameters);
}

}  // namespace
