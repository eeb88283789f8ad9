// The meter control on its own: its stored range and position, and what it
// paints, read back from the window's pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include "extract/extract_member.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/run_state.h"
#include "ui/meter/meter.h"

namespace {

class MeterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ResetRunState();
        ASSERT_EQ(0, AllocateRunBuffers());
        PrepareDecoder();
        UnpackMessageTable();
        RegisterMeterClass(GetModuleHandleA(nullptr));
    }
    void SetUp() override
    {
        meter_ = CreateWindowA("Meter", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 20, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, meter_);
    }
    void TearDown() override { DestroyWindow(meter_); }

    // The colour at x on the meter's bottom row (below the text).
    COLORREF Pixel(int x)
    {
        UpdateWindow(meter_);
        HDC dc = GetDC(meter_);
        RECT client;
        GetClientRect(meter_, &client);
        const COLORREF colour = GetPixel(dc, x, client.bottom - 1);
        ReleaseDC(meter_, dc);
        return colour;
    }
    void Set(UINT message, WPARAM value)
    {
        SendMessageA(meter_, message, value, 0);
    }
    HWND meter_ = nullptr;
};

TEST_F(MeterTest, NewMeterStandsHalfFull)
{
    EXPECT_EQ(100, SendMessageA(meter_, METER_GETRANGE, 0, 0));
    EXPECT_EQ(50, SendMessageA(meter_, METER_GETPOS, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), Pixel(10));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHTTEXT), Pixel(190));
}

TEST_F(MeterTest, BarFollowsPositionOverRange)
{
    const COLORREF done = GetSysColor(COLOR_HIGHLIGHT), rest = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const struct {
        WPARAM range, position;
        COLORREF left, right;  // at x 2 and x 197
    } cases[] = {
        {100, 0, rest, rest},
        {100, 100, done, done},
        {100, 25, done, rest},
        {0, 50, rest, rest},   // range 0: an empty bar
        {4, 3, done, rest},
    };
    for (const auto &c : cases) {
        Set(METER_SETRANGE, c.range);
        Set(METER_SETPOS, c.position);
        EXPECT_EQ(c.left, Pixel(2)) << c.range << "/" << c.position;
        EXPECT_EQ(c.right, Pixel(197)) << c.range << "/" << c.position;
    }
    // The split point: position x width / range.
    Set(METER_SETRANGE, 100);
    Set(METER_SETPOS, 25);
    EXPECT_EQ(done, Pixel(49));
    EXPECT_EQ(rest, Pixel(50));
}

TEST_F(MeterTest, StoresSixteenBits)
{
    Set(METER_SETRANGE, 0x12345);
    Set(METER_SETPOS, 0x10007);
    EXPECT_EQ(0x2345, SendMessageA(meter_, METER_GETRANGE, 0, 0));
    EXPECT_EQ(7, SendMessageA(meter_, METER_GETPOS, 0, 0));
    EXPECT_EQ(DLGC_STATIC, SendMessageA(meter_, WM_GETDLGCODE, 0, 0));
}

}  // namespace
