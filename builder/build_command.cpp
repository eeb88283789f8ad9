// "tvsfx build" (see build_command.h).
#include "build_command.h"

#include "ansi_codepage.h"
#include "archive/zip_records.h"
#include "build_error.h"
#include "deflate_compressor.h"
#include "disk_set.h"
#include "embedded_stub.h"
#include "flag_switches.h"
#include "folder_zipper.h"
#include "host_system.h"
#include "input_file.h"
#include "installer_builder.h"
#include "lzma_compressor.h"
#include "member_encryption.h"
#include "output_file.h"
#include "pe_image.h"
#include "repeated_content.h"
#include "resource_options.h"
#include "stub_language.h"
#include "portable/message_table_layout.h"
#include "portable/parameter_block.h"
#include "text_encoding.h"
#include "verbatim_archive.h"
#include "zip_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

std::vector<uint8_t> ReadInput(const std::string &path, const char *what)
{
    std::vector<uint8_t> bytes;
    std::string error;
    switch (ReadInputFile(path, bytes, error)) {
    case InputRead::Read: break;
    case InputRead::Unreachable: Refuse("%s %s: cannot open it: %s", what, path.c_str(), error.c_str());
    case InputRead::Refused: Refuse("%s %s: %s", what, path.c_str(), error.c_str());
    }
    return bytes;
}

// SOURCE_DATE_EPOCH, when set: the one time every --from-dir entry carries.
std::optional<int64_t> SourceDateEpoch()
{
    std::string value;
    if (!EnvironmentValue("SOURCE_DATE_EPOCH", value))
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno != 0 || seconds < 0)
        Refuse("SOURCE_DATE_EPOCH: \"%s\" is not a number of seconds since 1970", value.c_str());
    return int64_t(seconds);
}

const char *ArchName(PeArch arch) { return arch == PeArch::X64 ? "x64" : "x86"; }

// The stub to complete: --stub's file, or the embedded one of --arch and
// --language. A --stub of another architecture than --arch asks for, or of
// another language than --language names, is refused.
std::vector<uint8_t> LoadStub(const Options &options)
{
    const bool x64 = options.arch && *options.arch == "x64";
    const std::string language = options.language.value_or(StubLanguages[0].code);
    if (!options.stub_path.empty()) {
        std::vector<uint8_t> stub = ReadInput(options.stub_path, "--stub");
        if (options.arch) {
            const PeArch arch = ReadPeLayout(stub, TALVOK_SECTION_NAME).arch;
            if (ArchName(arch) != *options.arch)
                Refuse("--stub %s is an %s stub, not %s as --arch says", options.stub_path.c_str(), ArchName(arch),
                       options.arch->c_str());
        }
        if (options.language) {
            const StubLanguage *own = StubLanguageOf(stub);
            if (!own || language != own->code)
                Refuse("--stub %s speaks %s, not %s as --language says", options.stub_path.c_str(),
                       own ? own->code : "no language this tvsfx knows", language.c_str());
        }
        return stub;
    }
    const uint8_t *bytes = nullptr;
    size_t size = 0;
    for (size_t index = 0; index < EmbeddedStubCount; index++)
        if (language == EmbeddedStubs[index].language) {
            bytes = x64 ? EmbeddedStubs[index].x64 : EmbeddedStubs[index].x86;
            size = x64 ? *EmbeddedStubs[index].x64_bytes : *EmbeddedStubs[index].x86_bytes;
        }
    if (size == 0) {
        const std::string suffix = language == StubLanguages[0].code ? "" : "_" + language;
        Refuse("this tvsfx was built without the %s %s stub; give --stub %s%s.exe", x64 ? "x64" : "x86",
               language.c_str(), x64 ? "tvsfx64" : "tvsfx32", suffix.c_str());
    }
    return std::vector<uint8_t>(bytes, bytes + size);
}

// The installer stores its texts in code page 850 and converts them to the
// user's ANSI code page when it starts: a language the author names must
// survive that for the code page the installer is built for. (Without
// --language the Spanish default is built for any code page, as always.)
void CheckLanguageCodepage(const Options &options)
{
    if (!options.language || options.codepage == RAW_CODEPAGE)
        return;
    const StubLanguage &language = *FindStubLanguage(*options.language);
    for (int id = 0; id < MESSAGE_STRING_COUNT; id++) {
        const std::string text = FromAnsi(language.texts[id], "CP850");
        try {
            (void)ToAnsi(text, options.codepage, "");
        } catch (const BuildError &) {
            Refuse("--language %s: the installer's texts cannot be shown in code page %s (StringId %d, \"%s\"); "
                   "choose another language or --codepage",
                   language.code, options.codepage.c_str(), id, text.c_str());
        }
    }
}

MemberCompression Compression(const Options &options)
{
    if (!options.method || *options.method == "deflate")
        return MemberCompression::Deflate;
    if (!lzma_compressor::Available())
        Refuse("--method %s: this tvsfx has no LZMA encoder (build with the Linux tvsfx); use --method deflate",
               options.method->c_str());
    return *options.method == "lzma" ? MemberCompression::Lzma : MemberCompression::Best;
}

ZipArchive LoadPayload(const Options &options)
{
    if (!options.from_zip.empty())
        return ReadZipArchive(ReadInput(options.from_zip, "--from-zip"), options.from_zip,
                              AnsiCodepageOf(options.codepage));
    FolderZipOptions zip_options;
    zip_options.codepage = options.codepage;
    zip_options.fixed_time = SourceDateEpoch();
    zip_options.progress_allowed = !options.quiet;
    zip_options.compression = Compression(options);
    // An earlier build's output inside the folder is no part of the payload.
    EntryInfo out_info;
    std::string ignored;
    zip_options.excluded = QueryEntry(options.out_path, out_info, ignored) ? out_info.identity : FileIdentity{};
    return ZipFolder(options.from_dir, zip_options);
}

// --verbatim: the file's bytes, scanned for what re-basing and the
// ParameterBlock need; nothing in them is refused.
VerbatimArchive LoadVerbatimPayload(const Options &options)
{
    VerbatimArchive archive;
    archive.bytes = ReadInput(options.from_zip, "--from-zip");
    archive.scan = ScanVerbatimArchive(archive.bytes);
    return archive;
}

std::string WaitName(const Options &options)
{
    std::string name = options.wait_name.value_or("");
    if (name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".exe") == 0)
        name.resize(name.size() - 4);  // the stub adds ".exe" itself
    name = ToAnsi(name, options.codepage, "--wait-name");
    if (name.size() >= PB_WAIT_NAME_BYTES)
        Refuse("--wait-name: \"%s\" is %zu bytes, over the stub's limit of %zu", name.c_str(), name.size(),
               PB_WAIT_NAME_BYTES - 1);
    return name;
}

std::string FlagNames(uint32_t flags)
{
    std::string names;
    for (unsigned index = 0; index < FLAG_SWITCH_COUNT; index++) {
        const FlagSwitch &flag = FlagSwitches[index];
        if ((flags & flag.mask) != flag.mask)
            continue;
        bool covered_by_wider = false;  // --intro-ok-cancel includes --intro-yes-no's bit
        for (unsigned other = 0; other < FLAG_SWITCH_COUNT; other++)
            if (FlagSwitches[other].mask != flag.mask && (FlagSwitches[other].mask & flag.mask) == flag.mask &&
                (flags & FlagSwitches[other].mask) == FlagSwitches[other].mask)
                covered_by_wider = true;
        if (!covered_by_wider)
            names += std::string(" --") + flag.name;
    }
    return names;
}

// The archive lines of the summary for --verbatim: what was found and
// re-based, and where the total size came from.
void PrintVerbatimSummary(const BuildResult &result, const VerbatimScan &scan)
{
    const unsigned archive_bytes =
        static_cast<unsigned>(result.image.size() - result.padding_bytes - result.first_local_header);
    std::printf("  archive         at 0x%X: verbatim, %u bytes as they were given\n", result.first_local_header,
                archive_bytes);
    switch (scan.total_from) {
    case TotalSizeSource::CentralDirectory:
        std::printf("  total size      %u bytes unpacked, from the %zu headers of the central directory\n",
                    result.total_size, scan.central_headers);
        break;
    case TotalSizeSource::LocalHeaders:
        std::printf("  total size      %u bytes unpacked, from the %zu local headers that parse (the central "
                    "directory does not parse whole)\n",
                    result.total_size, scan.local_headers);
        break;
    case TotalSizeSource::None:
        std::printf("  total size      0: neither a central directory nor a local header parses\n");
        break;
    }
    if (!scan.end_record_found)
        std::printf("  directory       no end record found: no offset re-based, none in the ParameterBlock\n");
    else if (!scan.directory_inside)
        std::printf("  directory       end record at 0x%X; the directory it states lies outside the archive: "
                    "no offset re-based\n",
                    result.end_record);
    else
        std::printf("  directory       at 0x%X, end record at 0x%X; re-based with %zu local header offsets\n",
                    result.central_directory, result.end_record, scan.local_offset_fields.size());
    std::printf("  padding         %u zero bytes after the archive\n", result.padding_bytes);
}

// How the payload was made, beyond where it went.
struct PayloadNotes {
    size_t encrypted_members;
    bool aes;                  // AES-256 rather than the traditional cipher
    bool test_seed;            // the encryption headers came from TVSFX_TEST_RANDOM_SEED
    RepeatedContent repeated;  // members that repeat another's data
};

void PrintSummary(const Options &options, const BuildResult &result, size_t stub_bytes, const PayloadNotes &notes)
{
    std::printf("tvsfx: wrote %s (%zu bytes)\n", options.out_path.c_str(), result.image.size());
    std::printf("  stub            %s, %zu bytes, ParameterBlock at 0x%zX, entry point 0x%X\n",
                ArchName(result.arch), stub_bytes, result.parameter_block, result.entry_point);
    std::printf("  language        %s\n", result.language.empty() ? "unknown (a table this tvsfx does not know)"
                                                                   : result.language.c_str());
    std::printf("  %-15s file 0x%X..0x%zX, RVA 0x%X\n", TALVOK_SECTION_NAME, result.header_offset,
                result.image.size(), result.section_rva);
    std::printf("  header          at 0x%X: %u bytes compressed, %u unpacked\n", result.header_offset,
                result.header_compressed_bytes, result.header_unpacked_bytes);
    if (result.verbatim)
        PrintVerbatimSummary(result, *result.verbatim);
    else {
        std::printf("  archive         at 0x%X: %zu members, %u bytes unpacked, %u bytes in the file\n",
                    result.first_local_header, result.member_count, result.total_size,
                    static_cast<unsigned>(result.image.size() - result.first_local_header));
        if (result.lead_padding_bytes)
            std::printf("  directory       at 0x%X, end record at 0x%X; its comment is full, so %u bytes of padding "
                        "stand before the archive\n",
                        result.central_directory, result.end_record, result.lead_padding_bytes);
        else
            std::printf("  directory       at 0x%X, end record at 0x%X, %u bytes of padding in its comment\n",
                        result.central_directory, result.end_record, result.padding_bytes);
    }
    if (!options.from_dir.empty()) {
        const MemberCompression compression = Compression(options);
        const char *const times = SourceDateEpoch() ? "; times from SOURCE_DATE_EPOCH" : "";
        if (compression == MemberCompression::Deflate)
            std::printf("  compression     %s, stored where that is smaller%s\n", DeflateCompressor::Description(),
                        times);
        else if (compression == MemberCompression::Lzma)
            std::printf("  compression     LZMA (%s), stored where that is smaller%s\n",
                        lzma_compressor::Description(), times);
        else
            std::printf("  compression     per member the smallest of stored, deflate (%s) and LZMA (%s)%s\n",
                        DeflateCompressor::Description(), lzma_compressor::Description(), times);
    }
    if (notes.repeated.members)
        std::printf("  repeated        %zu members hold the same bytes as another: %.1f MB of the archive (a zip "
                    "member cannot share another's data; ship one copy and let the setup copy it)\n",
                    notes.repeated.members, double(notes.repeated.archive_bytes) / 1e6);
    const char *const source =
        notes.test_seed ? "TVSFX_TEST_RANDOM_SEED (for tests: not secret)" : "the system's random source";
    if (notes.encrypted_members && notes.aes)
        std::printf("  encryption      %zu members, AES-256 (AE-2; the default with a password: the traditional "
                    "cipher falls to known plaintext); salts from %s\n",
                    notes.encrypted_members, source);
    else if (notes.encrypted_members)
        std::printf("  encryption      %zu members, traditional zip cipher (--encryption zipcrypto); headers from "
                    "%s\n",
                    notes.encrypted_members, source);
    if (options.resources.Any())
        std::printf("  resources       %s\n", ResourceSummary(options.resources).c_str());
    std::printf("  flags           0x%08X%s\n", result.flags, FlagNames(result.flags).c_str());
    std::printf("  self-check      CRC-32 0x%08X over 0x%X..0x%X\n", result.crc, result.covered_from,
                result.first_local_header);
}

// With --argv0 the installer appends " -argv0 " and its own path to the
// parameters in a buffer of the parameters' bound; run from a longer path it
// stops with an internal error, so the author hears of the room left.
void PrintArgv0Room(size_t parameters_bytes)
{
    constexpr size_t switch_bytes = sizeof ARGV0_SWITCH - 1;
    const size_t used = parameters_bytes + switch_bytes;
    const size_t capacity = HeaderFieldBounds[HEADER_RUN_PARAMETERS] - 1;
    std::printf("  argv0           the installer's path may have up to %zu bytes; from a longer one it stops with "
                "an internal error\n",
                capacity > used ? capacity - used : 0);
}

// The installer cut into a disk set beside --out (disk_set.h), and its summary.
void WriteSpannedSet(const Options &options, const BuildResult &result)
{
    const size_t slash = options.out_path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "." : options.out_path.substr(0, slash);
    const std::string name = slash == std::string::npos ? options.out_path : options.out_path.substr(slash + 1);
    const std::vector<Disk> disks = LayOutDisks(result.image, result.first_local_header,
                                                (result.flags & FLAG_EXE_VOLUMES) != 0, options.span_bytes, name);
    WriteDiskSet(folder, disks);
    if (options.quiet)
        return;
    std::printf("tvsfx: wrote a set of %zu disks of at most %llu bytes in %s (flags 0x%08X%s)\n", disks.size(),
                static_cast<unsigned long long>(options.span_bytes), folder.c_str(), result.flags,
                FlagNames(result.flags).c_str());
    for (size_t index = 0; index < disks.size(); index++) {
        std::printf("  disk%-3zu label \"%s\"", index + 1, disks[index].label.c_str());
        for (const DiskFile &file : disks[index].files)
            std::printf("  %s %zu bytes", file.name.c_str(), file.bytes.size());
        std::printf("\n");
    }
}

}  // namespace

uint32_t ResolveFlags(const Options &options, bool payload_encrypted)
{
    if (options.raw_flags)
        return *options.raw_flags | options.switch_flags;
    uint32_t flags = options.switch_flags;
    if (options.texts[HEADER_TITLE])
        flags |= FLAG_HAS_TITLE;
    if (options.wait_name && !options.wait_name->empty())
        flags |= FLAG_WAIT_FOR_NAMED;
    if (payload_encrypted)
        flags |= FLAG_ENCRYPTED;
    return flags;
}

std::string OptionLine(uint32_t flags, const std::string &command)
{
    char word[32];
    std::snprintf(word, sizeof word, "0x%08X", flags);
    std::string line = std::string("tvsfx --flags ") + word + FlagNames(flags);
    std::string with_command = line + " --command " + command;
    if (!command.empty() && with_command.size() < HeaderFieldBounds[HEADER_INFO_TEXT])
        return with_command;
    return line;
}

int RunBuild(const Options &options)
{
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    CheckCodepage(options.codepage);
    CheckLanguageCodepage(options);
    const std::optional<std::string> password = ResolvePassword(options.password, options.codepage);
    RandomSource random = RandomSource::FromEnvironment();

    BuildRequest request;
    request.stub = ApplyResourceOptions(LoadStub(options), options.resources, options.out_path,
                                       options.language.value_or(StubLanguages[0].code));
    const size_t stub_bytes = request.stub.size();
    PayloadNotes notes = {0, options.encryption.value_or("aes256") == "aes256", random.seeded(), {0, 0}};
    if (options.verbatim) {
        request.verbatim = LoadVerbatimPayload(options);
    } else {
        request.archive = LoadPayload(options);
        if (!options.quiet)  // only the summary tells of them
            notes.repeated = FindRepeatedContent(request.archive);  // before encryption salts every copy apart
        if (password) {
            if (notes.aes)
                EncryptArchiveAes(request.archive, *password, random);
            else
                EncryptArchive(request.archive, *password, random);
            for (const ZipMember &member : request.archive.members)
                notes.encrypted_members += (member.flags & ZIP_FLAG_ENCRYPTED) ? 1 : 0;
        }
    }
    for (int field = 0; field < HEADER_FIELD_COUNT; field++)
        if (options.texts[field])
            request.texts.fields[field] = ToAnsi(*options.texts[field], options.codepage, HeaderFieldOptions[field]);
    request.flags = ResolveFlags(options, request.verbatim ? request.verbatim->scan.encrypted
                                                           : HasEncryptedMember(request.archive));
    if (options.span_bytes)
        request.flags |= FLAG_SPANNED;
    request.wait_name = WaitName(options);
    if (!options.texts[HEADER_INFO_TEXT])
        request.texts.fields[HEADER_INFO_TEXT] = OptionLine(request.flags, request.texts.fields[HEADER_RUN_COMMAND]);
    request.field_bounds = options.unchecked_fields ? FieldBounds::Unchecked : FieldBounds::Checked;

    const BuildResult result = BuildInstaller(request);
    if (options.span_bytes) {
        WriteSpannedSet(options, result);
        return 0;
    }
    WriteOutputFile(options.out_path, result.image);
    if (!options.quiet)
        PrintSummary(options, result, stub_bytes, notes);
    if (!options.quiet && (result.flags & FLAG_ARGV0))
        PrintArgv0Room(request.texts.fields[HEADER_RUN_PARAMETERS].size());
    return 0;
}
