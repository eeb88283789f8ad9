// End to end: the stub as built, never completed by the builder, started like
// a person would start it, from a folder other than its own. It must make its
// own folder current, pass its own checks (the link stamps its entry point
// into the block; no CRC, header or end record is set) and refuse to run with
// the incomplete message, and exit with 0.
#include <gtest/gtest.h>
#include <windows.h>

#include "startup/stub_support.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

TEST(WinMain, BareStubMakesItsFolderCurrentAndSaysItIsIncomplete)
{
    CreateDirectoryA("stub home", nullptr);  // a blank in the name, as users' folders have
    std::string home = FullPath("stub home\\");
    std::string stub = home + "tvsfx32.exe";
    ASSERT_TRUE(CopyTo(TALVOK_STUB_PATH, stub)) << TALVOK_STUB_PATH;
    std::string elsewhere = FullPath(".\\");
    ASSERT_NE(home, elsewhere);

    uiauto::Process program;
    uiauto::LaunchOptions launch;
    launch.argv = {stub};
    launch.working_dir = elsewhere;
    ASSERT_TRUE(program.Start(launch)) << uiauto::LastFailure();
    HWND box = program.WaitWindow({"Talvok Self-Extractor", "#32770"});
    ASSERT_NE(nullptr, box) << uiauto::LastFailure();

    EXPECT_EQ(home, CurrentDirectoryOf(program.Handle()));
    EXPECT_EQ(Ansi("Esta aplicación de extracción automática está incompleta.\n"
                   "Vuelva a crear el archivo e inténtelo de nuevo."),
              uiauto::MessageBoxText(box));
    ASSERT_TRUE(uiauto::PressButtonId(box, IDOK)) << uiauto::LastFailure();
    uiauto::ExitResult exit = program.WaitExit();
    EXPECT_EQ(uiauto::ExitStatus::Exited, exit.status) << uiauto::LastFailure();
    EXPECT_EQ(0u, exit.exit_code);
    DeleteFileA(stub.c_str());
}

}  // namespace
