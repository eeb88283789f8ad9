// Command-line parsing and --help (see options.h). The flag switches come
// from the one table in flag_switches.cpp.
#include "options.h"

#include "build_error.h"
#include "disk_set.h"
#include "flag_switches.h"
#include "message_fit.h"
#include "stub_language.h"
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
    {"command", HEADER_RUN_COMMAND, "program to run from the extraction folder, e.g. .\\setup.exe"},
    {"parameters", HEADER_RUN_PARAMETERS, "its parameters"},
    {"text", HEADER_DIALOG_TEXT, "the dialog's message text"},
    {"title", HEADER_TITLE, "the title; sets flags bit 4"},
    {"intro", HEADER_INTRO_TEXT, "question asked before the dialog opens"},
    {"about", HEADER_ABOUT_TEXT, "text of the about box, above the program's own"},
    {"info", HEADER_INFO_TEXT, "text shown by -info; default: the build's option line"},
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

        if (const int after = TakeResourceOption(name, inline_value, argc, argv, next, options.resources);
            after >= 0) {
            next = after;
            continue;
        }

        // Everything else takes a value.
        static const char *const value_options[] = {"arch", "language", "stub", "out", "from-dir", "from-zip", "flags",
                                                    "wait-name", "codepage", "password", "password-file", "span",
                                                    "method", "encryption"};
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
        } else if (name == "language") {
            if (!FindStubLanguage(value))
                Refuse("--language: \"%s\" is not one of %s", value.c_str(), StubLanguageCodes().c_str());
            options.language = value;
        } else if (name == "stub")
            options.stub_path = value;
        else if (name == "out")
            options.out_path = value;
        else if (name == "from-dir")
            options.from_dir = value;
        else if (name == "from-zip")
            options.from_zip = value;
        else if (name == "method") {
            if (value != "deflate" && value != "lzma" && value != "best")
                Refuse("--method: \"%s\" is not deflate, lzma or best", value.c_str());
            options.method = value;
        }
        else if (name == "encryption") {
            if (value != "aes256" && value != "zipcrypto")
                Refuse("--encryption: \"%s\" is not aes256 or zipcrypto", value.c_str());
            options.encryption = value;
        }
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
                Refuse("--span: \"%s\" is not a disk size (a positive number of bytes that fits 64 bits, or of "
                       "k, m or g: 1440k, 100m)",
                       value.c_str());
        }
        else
            options.codepage = value;
    }

    if (options.out_path.empty())
        Refuse("--out is missing: where should the installer go?");
    if (options.from_dir.empty() == options.from_zip.empty())
        Refuse("give exactly one of --from-dir DIR and --from-zip FILE");
    if (options.method && !options.from_zip.empty())
        Refuse("--method compresses the files of --from-dir; --from-zip keeps its members as they are");
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
    if (options.encryption && !options.password.text && !options.password.file)
        Refuse("--encryption chooses the cipher of --password or --password-file: give one of them");
    return options;
}

std::string HelpText()
{
    std::string help =
        "tvsfx: makes a self-extracting installer from a stub and a payload.\n"
        "\n"
        "usage: tvsfx build [--arch x86|x64] [--language L] [--stub FILE] --out FILE\n"
        "                   (--from-dir DIR | --from-zip FILE)\n"
        "                   [options]\n"
        "\n"
        "  --arch x86|x64     which stub to complete: x86 (default) is tvsfx32.exe, for every\n"
        "                     Windows; x64 is tvsfx64.exe, for 64-bit Windows without the\n"
        "                     32-bit subsystem (Windows PE, Server Core without WoW64)\n"
        "  --stub FILE        the stub to complete (default: the one of --arch built with this\n"
        "                     tvsfx); with --arch it must be of that architecture\n"
        "  --language L       the language of the installer's windows and messages, one of\n"
        "                     " + StubLanguageCodes() + " (the first, Spanish, is the default; en is\n"
        "                     English); with --stub it must be the stub's own\n"
        "  --out FILE         the installer to write; it appears only when the build succeeds\n"
        "  --from-dir DIR     archive the folder DIR (sorted, deflated or stored); a link to a file\n"
        "                     inside DIR is packed as that file's content, a link that leads\n"
        "                     outside DIR, a link to a folder and a special file are refused\n"
        "  --from-zip FILE    take the members of an existing zip archive as they are (at most\n"
        "                     65535, no two sharing data; a comment of up to 65535 bytes is kept)\n"
        "  --method M         how --from-dir's files are compressed: deflate (default), lzma\n"
        "                     (zip method 14, liblzma preset 9e: smaller, slower to build), or\n"
        "                     best (per file the smallest of stored, deflate and LZMA); a file\n"
        "                     is stored wherever compression does not make it smaller. The\n"
        "                     installer needs a dictionary of at most the file's size (64 MiB\n"
        "                     at most). tvsfx.exe has no LZMA encoder: deflate only\n"
        "  --password P       encrypt every member (1 to 99 bytes in the code page) with AES-256\n"
        "                     unless --encryption says otherwise; sets bit 8, so the installer\n"
        "                     asks for it\n"
        "  --password-file F  the same, with the password on the first line of F, so that it\n"
        "                     stays out of the shell's history\n"
        "  --encryption E     the cipher of --password: aes256 (the default: zip method 99 with\n"
        "                     the AE-2 field, as 7-Zip reads it; the installer needs\n"
        "                     Windows 7 or later) or zipcrypto (the traditional zip cipher, which\n"
        "                     any zip tool reads, but whose keys a few known bytes of any member\n"
        "                     give away: an installer's payload is full of known files)\n"
        "\n"
        "Header texts (limits in bytes after conversion: the stub's buffer for each, and for\n"
        "--about and --command the room that the messages they are shown in leave, here\n"
        "in the Spanish installer; the build measures them in the installer's language):\n";
    for (const TextOption &text : TextOptions) {
        std::string line = std::string("  --") + text.name + " T";
        line.resize(21, ' ');
        help += line + text.help + " (" + std::to_string(LongestText(text.field, StubLanguages[0].texts)) + " bytes)\n";
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
        "  --span SIZE        write a disk set instead of one file: disks of SIZE bytes, a positive\n"
        "                     number (k, m, g: 1440k, 100m); folders disk1, disk2... beside\n"
        "                     --out, each with its file (disk 1 the installer named as --out),\n"
        "                     and labels.txt, the volume label each disk must carry\n"
        "                     (\"PKBACK# 001\"...); sets bit 12\n"
        "\n"
        + ResourceOptionsHelp() +
        "Other options:\n"
        "  --codepage CP      code page of the texts and of the names as the stub reads them: an\n"
        "                     ANSI code page of Windows (CP874, CP932, CP936, CP949, CP950, CP1250\n"
        "                     to CP1258; default CP1252); arguments and file names are taken as\n"
        "                     UTF-8 and converted with iconv; \"raw\" passes the bytes unchanged.\n"
        "                     --from-zip's names are never converted, only checked in it.\n"

        "  --quiet            print nothing on success\n"
        "  --help             this text\n"
        "\n"
        "Names: --from-dir and --from-zip refuse a name the installer or Windows cannot take as\n"
        "it stands (a ':', a control character or NUL, one of < > \" | ? *, an absolute name, a\n"
        "'..' or empty part, a part ending in a dot or a blank, a device name such as CON or\n"
        "nul.txt in any part, a part over 255 characters) and two names that are one when case\n"
        "is ignored, or a file where another member needs a folder.\n"
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
        "and AES salts come from the system; for tests only, TVSFX_TEST_RANDOM_SEED=N fixes\n"
        "them too.\n"
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
        "  begins inside a record the installer does not read across disks, then the whole.\n"
        "  Checks natively what the installer checks when it starts, and more: the self-check CRC\n"
        "  over its region, the entry point, the end record's place, the local headers against\n"
        "  the central directory (no two entries sharing one member's data), the members' names\n"
        "  as the build checks them (no name the installer or Windows cannot take, no two that\n"
        "  are one when case is ignored), and every member's data, decoded with the installer's\n"
        "  own decoder (and decrypted with the password; an AES member's verifier and\n"
        "  authentication code checked too) and compared with its CRC. Prints one\n"
        "  line per fault. Exit status: 0 sound, 1 damaged, 2 usage mistake (or encrypted members\n"
        "  and no password).\n"
        "\n"
        "info and verify (and --from-zip, --stub) take a regular file of less than 2 GiB only; a\n"
        "device, a pipe or a larger file is refused before it is read.\n"
        "\n"
        "  info also shows the installer's resources (icon images, version strings, manifest);\n"
        "  verify also checks that their tree is well formed.\n"
        "\n"
        "usage: tvsfx --version\n"
        "  Prints tvsfx's release and the stubs built into it, with their sizes.\n";
    return help;
}
