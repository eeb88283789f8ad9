// The PE check in-process: the test program takes over an installer's
// ParameterBlock, points OwnPath at a copy of that installer, and asks
// PeCheck() about it. An installer of this build's own width passes; one
// whose machine field names the other architecture, or whose entry point is
// not the one the block expects, does not.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "startup/installer_support.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "startup/self_check.h"
#include "startup/stub_support.h"

namespace {

using namespace stub_test;

TEST(PeCheck, AcceptsOnlyItsOwnMachineAndEntryPoint)
{
    const std::string content = ReadWholeFile(Installer("base"));
    ASSERT_FALSE(content.empty()) << Installer("base");
    const std::vector<uint8_t> original(content.begin(), content.end());
    const size_t block = FindBlock(original);
    ASSERT_NE(std::string::npos, block);
    const size_t nt = ReadLe32(original.data() + DOS_E_LFANEW);
    const uint16_t own_machine = sizeof(void *) == 8 ? PE_MACHINE_AMD64 : PE_MACHINE_I386;
    ASSERT_EQ(own_machine, ReadLe16(original.data() + nt + PE_MACHINE));

    const struct {
        const char *name;
        uint16_t machine;
        int entry_point_change;
        bool passes;
    } cases[] = {
        {"as built", own_machine, 0, true},
        {"i386", PE_MACHINE_I386, 0, own_machine == PE_MACHINE_I386},
        {"x86-64", PE_MACHINE_AMD64, 0, own_machine == PE_MACHINE_AMD64},
        {"other entry point", own_machine, 0x10, false},
    };
    const std::string copy = FullPath("pe-check.exe");
    for (const auto &c : cases) {
        std::vector<uint8_t> bytes = original;
        WriteLe16(bytes.data() + nt + PE_MACHINE, c.machine);
        WriteLe32(bytes.data() + nt + PE_ENTRY_POINT,
                  ReadLe32(bytes.data() + nt + PE_ENTRY_POINT) + c.entry_point_change);
        HANDLE file = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(file);

        CopyMemory(ParameterBlock, original.data() + block, PARAMETER_BLOCK_BYTES);
        lstrcpynA(OwnPath, copy.c_str(), sizeof OwnPath);
        EXPECT_EQ(c.passes, PeCheck()) << c.name;
    }
    DeleteFileA(copy.c_str());
}

}  // namespace
