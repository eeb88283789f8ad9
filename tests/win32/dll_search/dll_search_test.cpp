// The stub's first act limits the DLL search to the system folder. A program
// of its own runs this, since the limit holds for the rest of the process.
#include <gtest/gtest.h>
#include <windows.h>

#include "startup/dll_search.h"

namespace {

// talvok_planted.dll is built into this program's folder.
TEST(DllSearch, PlantedDllInTheProgramFolderNoLongerLoads)
{
    HMODULE planted = LoadLibraryA("talvok_planted.dll");
    ASSERT_NE(nullptr, planted) << "the program's folder is searched before the limit";
    FreeLibrary(planted);

    LimitDllSearchToSystemFolder();
    EXPECT_EQ(nullptr, LoadLibraryA("talvok_planted.dll"));
    EXPECT_NE(nullptr, LoadLibraryA("version.dll")) << "system DLLs still load";
}

}  // namespace
