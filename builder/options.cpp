// Command-line parsing and --help (see options.h). The flag switches come
// from the one table in flag_switches.cpp.
#include "options.h"

#include "build_error.h"
#include "disk_set.h"
#include "flag_switches.h"
#include "portable/parameter_block.h"
#include "text_encoding.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Options that fill a header field, in --help order.
struct TextOption {
    const char *name;
    SfxHeaderField field;
    const char *help;
};
const TextOption TextOptions[] = {
    {"command", HEADER_RUN_COMMAND, "program to run from the extraction folder, e.g. .\\setup.exe (256 bytes)"},
    {"parameters", HEADER_RUN_PARAMETERS, "its parameters (256 bytes)"},
    {"text", HEADER_DIALOG_TEXT, "the dialog's message text (256 bytes)"},
    {"title", HEADER_TITLE, "the title; sets flags bit 4 (64 bytes)"},
    {"intro", HEADER_INTRO_TEXT, "question asked before the dialog opens (513 bytes)"},
    {"about", HEADER_ABOUT_TEXT, "text of the about box, above the program's own (515 bytes)"},
    {"info", HEADER_INFO_TEXT, "text shown by -info; default: the build's option line (511 bytes)"},
};

const FlagSwitch *FindSwitch(const std::string &name)
{
    for (unsigned index = 0; index < FLAG_SWITCH_COUNT; index++)
        if (name == FlagSwitches[index].name)
            return &FlagSwitches[index];
    return nullptr;
}

uint32_t ParseFlagsWord(const std::string &value)
{
    char *end = nullptr;
    errno = 0;
    unsigned long long word = std::strtoull(value.c_str(), &end, 0);
    if (value.empty() || value[0] == '-' || *end != '\0' || errno != 0 || word > 0xFFFFFFFFull)
        Refuse("--flags: \"%s\" is not a 32-bit number (write it as 0xHEX or decimal)", value.c_str());
    return static_cast<uint32_t>(word);
}

}  // namespace

Options ParseCommandLine(int argc, const char *const *argv)
{
    Options options;
    options.codepage = DEFAULT_CODEPAGE;
    int next = 0;
    if (next < argc && (std::strcmp(argv[next], "--help") == 0 || std::strcmp(argv[next], "-h") == 0)) {
        options.help = true;
        return options;
    }
    if (next >= argc || std::strcmp(argv[next], "build") != 0)
        Refuse("usage: tvsfx build --out FILE (--from-dir DIR | --from-zip FILE) [options], tvsfx info FILE, "
               "tvsfx verify FILE; see tvsfx --help");
    next++;

    while (next < argc) {
        std::string argument = argv[next++];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            return options;
        }
        if (argument.compare(0, 2, "--") != 0)
            Refuse("unexpected argument \"%s\" (options start with --)", argument.c_str());
        std::string name = argument.substr(2);
        std::optional<std::string> inline_value;
        if (size_t equals = name.find('='); equals != std::string::npos) {
            inline_value = name.substr(equals + 1);
            name.resize(equals);
        }

        if (const FlagSwitch *flag = FindSwitch(name)) {
            if (inline_value)
                Refuse("--%s takes no value", name.c_str());
            options.switch_flags |= flag->mask;
            continue;
        }
        if (name == "unchecked-fields" || name == "quiet" || name == "verbatim") {
            if (inline_value)
                Refuse("--%s takes no value", name.c_str());
            bool &option = name == "quiet"      ? options.quiet
                           : name == "verbatim" ? options.verbatim
                                                : options.unchecked_fields;
            option = true;
            continue;
        }

        // Everything else takes a value.
        static const char *const value_options[] = {"arch", "stub", "out", "from-dir", "from-zip", "flags",
                                                    "wait-name", "codepage", "password", "password-file", "span"};
        bool known = false;
        for (const char *option : value_options)
            known = known || name == option;
        for (const TextOption &text : TextOptions)
            known = known || name == text.name;
        if (!known)
            Refuse("unknown option --%s; see tvsfx --help", name.c_str());
        if (!inline_value) {
            if (next >= argc)
                Refuse("--%s needs a value", name.c_str());
            inline_value = argv[next++];
        }
        const std::string &value = *inline_value;
        bool is_text = false;
        for (const TextOption &text : TextOptions)
            if (name == text.name) {
                options.texts[text.field] = value;
                is_text = true;
            }
        if (is_text)
            continue;
        if (name == "arch") {
            if (value != "x86" && value != "x64")
                Refuse("--arch: \"%s\" is not x86 or x64", value.c_str());
            options.arch = value;
        } else if (name == "stub")
            options.stub_path = value;
        else if (name == "out")
            options.out_path = value;
        else if (name == "from-dir")
            options.from_dir = value;
        else if (name == "from-zip")
            options.from_zip = value;
        else if (name == "flags")
            options.raw_flags = ParseFlagsWord(value);
        else if (name == "wait-name")
            options.wait_name = value;
        else if (name == "password")
            options.password.text = value;
        else if (name == "password-file")
            options.password.file = value;
        else if (name == "span") {
            options.span_bytes = ParseDiskSize(value);
            if (!options.span_bytes)
                Refuse("--span: \"%s\" is not a disk size (bytes, or with k, m or g: 1440k, 100m)", value.c_str());
        }
        else
            options.codepage = value;
    }

    if (options.out_path.empty())
        Refuse("--out is missing: where should the installer go?");
    if (options.from_dir.empty() == options.from_zip.empty())
        Refuse("give exactly one of --from-dir DIR and --from-zip FILE");
    if (options.verbatim && options.from_zip.empty())
        Refuse("--verbatim takes an existing archive as it is: it needs --from-zip FILE, not --from-dir");
    if (options.verbatim && options.span_bytes)
        Refuse("--verbatim puts the archive in as it is; it cannot be cut into disks (no --span)");
    if ((options.switch_flags & FLAG_EXE_VOLUMES) && !options.span_bytes)
        Refuse("--exe-volumes names the files of a disk set: it needs --span");
    if ((options.switch_flags & FLAG_NO_ERROR_BOXES) && !(options.switch_flags & FLAG_UNATTENDED))
        Refuse("--no-error-boxes is for runs nobody watches: it needs --hidden (a person at a visible "
               "installer answers its boxes)");
    if ((options.switch_flags & FLAG_NO_ERROR_BOXES) && (options.switch_flags & FLAG_WAIT))
        Refuse("--no-error-boxes and --wait: the installer would wait for ever for a click on Done that nobody "
               "makes");
    if ((options.switch_flags & FLAG_NO_ERROR_BOXES) &&
        (options.password.text || options.password.file || (options.switch_flags & FLAG_ENCRYPTED)))
        Refuse("--no-error-boxes and a password: the installer would wait for ever for a password that nobody "
               "types");
    if ((options.switch_flags & FLAG_WAIT_ALL) &&
        (options.switch_flags & FLAG_SHELL_INSTALL) == FLAG_SHELL_INSTALL)
        Refuse("--wait-all and --shell-install: the shell starts the command itself, so it cannot be started "
               "inside the installer's job");
    if ((options.switch_flags & FLAG_WAIT_ALL) && options.wait_name)
        Refuse("--wait-all and --wait-name: --wait-all already waits for every program the command starts");
    if (options.verbatim && (options.password.text || options.password.file))
        Refuse("--verbatim puts the archive in as it is; it cannot be encrypted on the way (no --password)");
    return options;
}

std::string HelpText()
{
    std::string help =
        "tvsfx: makes a self-extracting installer from a stub and a payload.\n"
        "\n"
        "usage: tvsfx build [--arch x86|x64] [--stub FILE] --out FILE (--from-dir DIR | --from-zip FILE)\n"
        "                   [options]\n"
        "\n"
        "  --arch x86|x64     which stub to complete: x86 (default) is tvsfx32.exe, for every\n"
        "                     Windows; x64 is tvsfx64.exe, for 64-bit Windows without the\n"
        "                     32-bit subsystem (Windows PE, Server Core without WoW64)\n"
        "  --stub FILE        the stub to complete (default: the one of --arch built with this\n"
        "                     tvsfx); with --arch it must be of that architecture\n"
        "  --out FILE         the installer to write; it appears only when the build succeeds\n"
        "  --from-dir DIR     archive the folder DIR (sorted, deflated or stored)\n"
        "  --from-zip FILE    take the members of an existing zip archive as they are\n"
        "  --password P       encrypt every member with the traditional zip cipher (1 to 99 bytes\n"
        "                     in the code page); sets bit 8, so the installer asks for it\n"
        "  --password-file F  the same, with the password on the first line of F, so that it\n"
        "                     stays out of the shell's history\n"
        "\n"
        "Header texts (limits in bytes after conversion):\n";
    for (const TextOption &text : TextOptions) {
        std::string line = std::string("  --") + text.name + " T";
        line.resize(21, ' ');
        help += line + text.help + "\n";
    }
    help +=
        "\n"
        "Options (the flags word; see below for how they combine):\n"
        "  --flags WORD       the whole flags word, e.g. 0x00242812; nothing is added to it\n"
        "                     except the bits of the switches below\n";
    for (unsigned index = 0; index < FLAG_SWITCH_COUNT; index++) {
        std::string line = std::string("  --") + FlagSwitches[index].name;
        line.resize(21, ' ');
        help += line + FlagSwitches[index].help + "\n";
    }
    help +=
        "  --wait-name NAME   after the command, also wait until NAME.exe has ended (up to 9 bytes,\n"
        "                     without .exe); sets bit 2\n"
        "\n"
        "  Without --flags the word is built from the switches, plus bit 4 when --title is given,\n"
        "  bit 2 with --wait-name, and bit 8 when a member is encrypted. With --flags the word\n"
        "  is taken as written and only the switches' bits are added.\n"
        "\n"
        "Disk sets (archives spanned over removable disks):\n"
        "  --span SIZE        write a disk set instead of one file: disks of SIZE bytes (k, m, g:\n"
        "                     1440k, 100m), folders disk1, disk2... beside --out, each with its\n"
        "                     file (disk 1 the installer named as --out), and labels.txt, the\n"
        "                     volume label each disk must carry (\"PKBACK# 001\"...); sets bit 12\n"
        "\n"
        "Other options:\n"
        "  --codepage CP      code page of the texts and of --from-dir's names as the stub reads them\n"
        "                     (default CP1252); arguments and file names are taken as UTF-8 and\n"
        "                     converted with iconv; \"raw\" passes the bytes unchanged. --from-zip's\n"
        "                     names are never converted.\n"
        "  --quiet            print nothing on success\n"
        "  --help             this text\n"
        "\n"
        "For tests only:\n"
        "  --unchecked-fields write header fields longer than the stub's buffers (the stub then\n"
        "                     stops with an internal error); the header's total limits still apply\n"
        "  --verbatim         with --from-zip, for experts and tests: put the archive in byte for\n"
        "                     byte, damaged or not; nothing is checked or refused and no member is\n"
        "                     rewritten. Only the offsets of a central directory that can be found\n"
        "                     are moved to where the archive lands; zero bytes after it pad the file\n"
        "\n"
        "Reproducible builds: with the environment variable SOURCE_DATE_EPOCH (seconds since\n"
        "1970) every --from-dir entry carries that time (as UTC) instead of the file's, so the\n"
        "same tree gives the same installer anywhere. The random bytes of encryption headers\n"
        "come from the system; for tests only, TVSFX_TEST_RANDOM_SEED=N fixes them too.\n"
        "\n"
        "Exit status: 0 on success, 1 on any failure (the reason goes to stderr).\n"
        "\n"
        "usage: tvsfx info FILE [--json] [--codepage CP]\n"
        "  Prints what an installer holds: the stub, the ParameterBlock, the flags by name, the\n"
        "  header's texts and the members. --json prints the same as one JSON object. Texts and\n"
        "  names are shown converted from CP (default CP1252) to UTF-8. Exit status 0, 1 when\n"
        "  FILE cannot be read or is no installer, 2 on a usage mistake.\n"
        "\n"
        "usage: tvsfx verify FILE|DISK1 DISK2... [--password P | --password-file F] [--codepage CP] [--quiet]\n"
        "  Given the folders of a disk set in order, joins their files and checks that no disk\n"
        "  begins inside a record the installer does not read across disks, then the whole. Checks natively what the installer checks when it starts, and more: the self-check CRC\n"
        "  over its region, the entry point, the end record's place, the local headers against\n"
        "  the central directory, and every member's data, decoded with the installer's own\n"
        "  decoder (and decrypted with the password) and compared with its CRC. Prints one line\n"
        "  per fault. Exit status: 0 sound, 1 damaged, 2 usage mistake (or encrypted members\n"
        "  and no password).\n";
    return help;
}
