#include "archive/disk_label.h"

uint16_t DiskNumberFromLabel(const char *label)
{
    for (int i = 0; i < DISK_LABEL_PREFIX_CHARS; i++)
        if (label[i] != DISK_LABEL_PREFIX[i])
            return NO_DISK;  // also stops at a label shorter than the prefix
    const char *next = label;
    while (*next && *next != '.' && *next != ' ')
        next++;
    if (!*next)
        return NO_DISK;
    while (*next && (*next < '0' || *next > '9'))
        next++;
    if (!*next)
        return NO_DISK;
    uint16_t number = 0;
    for (; *next >= '0' && *next <= '9'; next++)
        number = static_cast<uint16_t>(number * 10 + (*next - '0'));
    return number;
}
