#include <gtest/gtest.h>
#include <windows.h>
TEST(WineCodePages, SpanishWindows)
{
    EXPECT_EQ(1252u, GetACP());
    EXPECT_EQ(850u, GetOEMCP());
}
