// The progress the run reports to the main dialog's meter, caught by a
// stand-in meter control: one position per 64 KiB written, the archive's
// total size as 100 (passed when the total is too small), nothing at all
// when the block gives no total size.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "extract/extraction_support.h"
#include "extract/output_writer.h"
#include "portable/byte_order.h"
#include "portable/parameter_block.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "support/test_files.h"
#include "ui/main_dialog.h"
#include "ui/meter/meter.h"

namespace {

using namespace stub_test;

std::vector<WPARAM> Positions;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == METER_SETPOS)
        Positions.push_back(wparam);
    return DefWindowProcA(window, message, wparam, lparam);
}

class ProgressTest : public ExtractionRunTest {
protected:
    void SetUp() override
    {
        WNDCLASSA probe = {};
        probe.lpfnWndProc = ProbeProc;
        probe.hInstance = GetModuleHandleA(nullptr);
        probe.lpszClassName = "MeterProbe";
        RegisterClassA(&probe);
        main_ = CreateWindowA("STATIC", "principal", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
        CreateWindowA("MeterProbe", "", WS_CHILD, 0, 0, 50, 10, main_, reinterpret_cast<HMENU>(ID_METER),
                      GetModuleHandleA(nullptr), nullptr);
        MainWindow = main_;
    }
    void TearDown() override
    {
        MainWindow = nullptr;
        MeterInUse = 0;
        DestroyWindow(main_);
    }
    HWND main_ = nullptr;
};

TEST_F(ProgressTest, PositionsFollowTheBytesWrittenAgainstTheTotalSize)
{
    // failures\big.exe holds 300,510 bytes; 64 KiB steps of whole chunks.
    const struct {
        const char *label;
        uint32_t total_bytes;  // 0: as the builder wrote it
    } cases[] = {
        {"the builder's total", 0},
        {"a total of 250,000 passes 100", 250000},
        {"no total size sends nothing", 0xFFFFFFFF},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(TakeOver(Archives("failures\\big.exe"))) << c.label;
        const uint32_t builder_total = ReadLe32(ParameterBlock + PB_TOTAL_SIZE);
        if (c.total_bytes)
            WriteLe32(ParameterBlock + PB_TOTAL_SIZE, c.total_bytes == 0xFFFFFFFF ? 0 : c.total_bytes);
        const uint32_t total = ReadLe32(ParameterBlock + PB_TOTAL_SIZE);
        Positions.clear();
        MeterInUse = 1;
        const std::string folder = FullPath(std::string("progress-") + std::to_string(total));
        ASSERT_EQ(0, ExtractInto(folder)) << c.label;
        if (total == 0) {
            EXPECT_TRUE(Positions.empty()) << c.label;
            continue;
        }
        EXPECT_EQ(300510u, builder_total);
        // One position per 64 KiB, each the bytes written at that moment
        // (a whole number of 0x7000-byte chunks) over the total.
        uint32_t written = 0, mark = 0;
        std::vector<WPARAM> expected;
        while (written + 0x7000 <= 300000) {
            written += 0x7000;
            if (written >= mark + 0x10000) {
                mark = written;
                expected.push_back(written / (total / 100));
            }
        }
        EXPECT_EQ(expected, Positions) << c.label;
        ASSERT_FALSE(Positions.empty()) << c.label;
        if (total < 300510)
            EXPECT_GT(Positions.back(), 100u) << c.label << ": sent as it is";

    }
}

}  // namespace
