// The disk number in a volume label, label by label, with the odd ones the
// system's label query cannot produce (it trims trailing blanks).
#include <gtest/gtest.h>

#include "archive/disk_label.h"

namespace {

TEST(DiskLabel, NumberOfEachLabel)
{
    const struct {
        const char *label;
        uint16_t number;
    } cases[] = {
        {"PKBACK# 001", 1},
        {"PKBACK# 002", 2},
        {"PKBACK#.7", 7},
        {"PKBACK# 0", 0},            // disk 0: the last disk's number in a prompt, not "none"
        {"PKBACK# 65535", NO_DISK},  // the number itself, not a refusal
        {"PKBACK# 65536", 0},        // modulo 65536
        {"PKBACK# 65537", 1},
        {"PKBACK# 12X3", 12},        // the number ends at the first non-digit
        {"PKBACK# disk 4", 4},       // what stands between the blank and the digits is passed over
        {"PKBACK#. 5", 5},
        {"PKBACK#x 5", 5},           // the first "." or blank may come later
        {"PKBACK# ", NO_DISK},       // a blank followed by no digit names no disk
        {"PKBACK#.", NO_DISK},
        {"PKBACK# x", NO_DISK},
        {"PKBACK#7", NO_DISK},       // no "." or blank
        {"PKBACK#", NO_DISK},
        {"pkback# 001", NO_DISK},    // the prefix's case counts
        {"PKBACK", NO_DISK},         // shorter than the prefix
        {"BACKUP", NO_DISK},
        {"", NO_DISK},
        {" PKBACK# 1", NO_DISK},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.number, DiskNumberFromLabel(c.label)) << "\"" << c.label << "\"";
}

}  // namespace
