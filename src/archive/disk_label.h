// The disk number a spanned archive's volume label carries: "PKBACK#", a "."
// or a blank, then the number in decimal ("PKBACK# 001" is disk 1). Portable,
// so that the builder writes the labels this reads and the native tests can
// walk every odd label without a drive.
#pragma once

#include <cstdint>

constexpr uint16_t NO_DISK = 0xFFFF;  // no usable disk in the drive
constexpr char DISK_LABEL_PREFIX[] = "PKBACK#";
constexpr int DISK_LABEL_PREFIX_CHARS = 7;
static_assert(sizeof DISK_LABEL_PREFIX == DISK_LABEL_PREFIX_CHARS + 1, "prefix and its NUL");

// The disk number of a NUL-terminated label, modulo 65536, or NO_DISK when
// the label does not start with the prefix (case counts), has no "." or
// blank, or has no digit after its first "." or blank (the bare "PKBACK# "
// names no disk rather than disk 0). Characters between the "." or blank and
// the first digit are passed over; the number ends at the first non-digit.
[[nodiscard]] uint16_t DiskNumberFromLabel(const char *label);
