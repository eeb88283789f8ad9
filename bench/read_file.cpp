#include "read_file.h"

#include <cstdio>

bool ReadFile(const std::string &path, std::vector<uint8_t> &data)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    uint8_t buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data.insert(data.end(), buffer, buffer + got);
    std::fclose(file);
    return true;
}
