// The build options that change the stub's resources, and their effect:
//   --icon FILE.ico, --version X.Y.Z.W, --product-name, --company,
//   --description, --copyright, --elevation LEVEL, --dpi-aware.
// Without any of them the stub's resources stay byte for byte as linked.
// With any, the resource section is rewritten (pe_resources.h) before the
// build appends its section and completes the ParameterBlock, so offsets and
// the self-check's CRC are those of the rewritten image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ResourceOptions {
    std::optional<std::string> icon_path;
    std::optional<std::string> version;       // as typed
    std::optional<std::string> product_name, company, description, copyright;  // UTF-8
    std::optional<std::string> elevation;
    bool dpi_aware = false;

    bool Any() const;
};

// One option of the group at argv[next - 1] named name (without "--",
// inline_value after "=" if any): stores it and returns the index of the
// next argument; -1 when name is not one of these. Refuses a missing value.
int TakeResourceOption(const std::string &name, const std::optional<std::string> &inline_value, int argc,
                       const char *const *argv, int next, ResourceOptions &options);

// The group's part of --help.
std::string ResourceOptionsHelp();

// stub with the resources options ask for; stub itself when none. The
// version resource's OriginalFilename is out_path's last component; its
// string table is in the language of language_code, the installer's.
// Refuses (BuildError) a bad .ico, version, level or stub.
std::vector<uint8_t> ApplyResourceOptions(const std::vector<uint8_t> &stub, const ResourceOptions &options,
                                          const std::string &out_path, const std::string &language_code);

// The summary line of what was changed, "" when nothing.
std::string ResourceSummary(const ResourceOptions &options);
