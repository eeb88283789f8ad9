// The author's .ico file (--icon) as the installer's icon group 1, the one
// the stub loads as AppIcon (LoadIconA(instance, MAKEINTRESOURCE(1))).
//
// An .ico file is an ICONDIR (reserved 0, type 1, image count), one 16-byte
// ICONDIRENTRY per image (width, height, colours, planes, bits per pixel,
// bytes, file offset), and the images: each a BITMAPINFOHEADER with its XOR
// and AND bitmaps (height doubled), or a PNG file (Vista's 256x256 images).
// In a program the images become RT_ICON resources of their own and the
// directory an RT_GROUP_ICON whose 14-byte entries name them by resource
// number instead of a file offset.
#pragma once

#include "pe_resources.h"

#include <cstdint>
#include <string>
#include <vector>

struct IconImage {
    uint32_t width, height;   // in pixels, 256 where the directory says 0
    uint8_t colour_count;     // as the directory says; 0 for 8 bits and more
    uint16_t planes, bit_count;
    bool png;
    std::vector<uint8_t> data;
};

// The images of an .ico file, each checked against its directory entry.
// Refuses (BuildError, naming path and the reason) anything else: a PNG or
// a cursor file, an empty directory, a directory or an image that runs past
// the end, an image that is neither a bitmap nor a PNG of the stated size.
std::vector<IconImage> ReadIcoFile(const std::vector<uint8_t> &bytes, const std::string &path);

// Icon group 1 of table becomes images, in the group's language (1033 when
// the table had no group 1). The RT_ICON resources only group 1 named go;
// the new images take the lowest free numbers.
void SetAppIcon(ResourceTable &table, const std::vector<IconImage> &images);

// What group 1 of table holds, for info and verify: its images with their
// sizes and forms, or failure when it is not there or names missing icons.
struct IconGroupFacts {
    bool present = false;
    std::vector<IconImage> images;   // data: the RT_ICON's bytes
    std::vector<uint16_t> ids;
    std::string failure;
};
IconGroupFacts ReadAppIcon(const ResourceTable &table);
