// The command line of tvsfx:
//
//   tvsfx build [--arch x86|x64] [--language L] [--stub FILE] --out FILE (--from-dir DIR | --from-zip FILE [--verbatim])
//               [--method deflate|lzma|best] [--span SIZE [--exe-volumes]] [options]
//   tvsfx info FILE [--json] [--codepage CP]          (reading_options.h)
//   tvsfx verify FILE [--password P | --password-file F] [--codepage CP] [--quiet]
//   tvsfx --help
//
// Every option takes its value as the next argument or after "=". Texts are
// kept here as typed (UTF-8); the build converts them (text_encoding.h).
#pragma once

#include "password_input.h"
#include "resource_options.h"
#include "portable/sfx_header_layout.h"

#include <cstdint>
#include <optional>
#include <string>

struct Options {
    bool help = false;
    std::string stub_path;                      // empty: the embedded stub
    std::optional<std::string> arch;            // --arch: "x86" (default) or "x64"
    std::optional<std::string> language;        // --language: a StubLanguage code, "es" by default
    std::string out_path;
    std::string from_dir;
    std::string from_zip;
    std::optional<std::string> method;          // --method: "deflate" (default), "lzma" or "best"
    std::optional<std::string> texts[HEADER_FIELD_COUNT];  // HEADER_RESERVED never set
    std::optional<uint32_t> raw_flags;          // --flags: the whole word, nothing derived
    uint32_t switch_flags = 0;                  // bits of the named switches
    std::optional<std::string> wait_name;
    std::string codepage;                       // DEFAULT_CODEPAGE unless --codepage
    bool unchecked_fields = false;              // tests only: skip the field bounds
    bool verbatim = false;                      // tests only: --from-zip's bytes as they are
    bool quiet = false;
    uint64_t span_bytes = 0;                    // --span: disk size; 0 writes one installer
    PasswordOptions password;                   // --password, --password-file
    std::optional<std::string> encryption;      // --encryption: "aes256" (default with a password) or "zipcrypto"
    ResourceOptions resources;                  // --icon, --version, ... (resource_options.h)
};

// Parses the arguments after the program name. Refuses (BuildError) unknown
// options, missing values, and an incomplete or contradictory build request.
Options ParseCommandLine(int argc, const char *const *argv);

// The --help text.
std::string HelpText();
