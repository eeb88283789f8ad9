// What "tvsfx info" shows of an installer's resources (icon group 1's
// images, the version resource's numbers and strings, the manifest) and
// what "tvsfx verify" finds wrong with them: a resource tree that does not
// parse, an icon group that names missing icons, a version resource that
// does not parse. Read from the bytes alone; never refuses.
#pragma once

#include "json_writer.h"

#include <cstdint>
#include <string>
#include <vector>

// One line per fault, "" none.
std::vector<std::string> ResourceFaults(const std::vector<uint8_t> &image);

void PrintResources(const std::vector<uint8_t> &image);
void WriteResourcesJson(const std::vector<uint8_t> &image, JsonWriter &json);
