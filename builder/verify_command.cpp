// "tvsfx verify" (see verify_command.h). The checks run in the order the
// stub meets the structures; a finding that makes later checks meaningless
// (no PE image, no ParameterBlock) ends the list there.
#include "verify_command.h"

#include "ansi_codepage.h"
#include "archive/zip_records.h"
#include "build_error.h"
#include "disk_set.h"
#include "extract/crc32.h"
#include "host_system.h"
#include "input_file.h"
#include "info_command.h"
#include "installer_reader.h"
#include "member_name_check.h"
#include "portable/byte_order.h"
#include "portable/parameter_block.h"
#include "progress_meter.h"
#include "resource_report.h"
#include "stub_decoder.h"
#include "stub_language.h"
#include "text_encoding.h"
#include "zip_archive.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace {

constexpr int EXIT_SOUND = 0;
constexpr int EXIT_DAMAGED = 1;
constexpr int EXIT_USAGE = 2;

class Findings {
public:
    explicit Findings(const std::string &file) : file_(file) {}

    void Fault(const char *format, ...)
#if defined(__MINGW32__)
        __attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        va_list args;
        va_start(args, format);
        char text[1024];
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        std::printf("%s: %s\n", file_.c_str(), text);
        count_++;
    }
    size_t count() const { return count_; }

private:
    std::string file_;
    size_t count_ = 0;
};

bool Inside(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count_bytes)
{
    return offset <= bytes.size() && count_bytes <= bytes.size() - offset;
}

// The self-check exactly as the stub runs it.
void CheckSelfCheck(const InstallerFacts &facts, Findings &findings)
{
    const ParameterFacts &block = *facts.parameters;
    const std::vector<uint8_t> &bytes = facts.bytes;
    if (block.crc == 0)
        return;  // switched off: the stub checks nothing
    if (block.first_local_header == 0 || block.first_local_header > bytes.size()) {
        findings.Fault("self-check: the covered region ends at 0x%X, past the end of the file (0x%zX): truncated",
                       block.first_local_header, bytes.size());
        return;
    }
    std::vector<uint8_t> region(bytes.begin(), bytes.begin() + block.first_local_header);
    static const uint8_t marker[PARAMETER_MARKER_BYTES] = {PARAMETER_MARKER_INIT};
    const auto found = std::search(region.begin(), region.end(), marker, marker + PARAMETER_MARKER_BYTES);
    if (found == region.end() || size_t(found - region.begin()) + PB_CRC + 4 > region.size()) {
        findings.Fault("self-check: no ParameterBlock in the covered region");
        return;
    }
    std::memset(&*found + PB_CRC, 0, 4);
    uint32_t start = 0;
    if (block.flags & FLAG_SIGN_FRIENDLY)
        start = ReadLe32(region.data() + DOS_E_LFANEW) + facts.stub->nt_headers_bytes;
    if (start > region.size()) {
        findings.Fault("self-check: the sign-friendly region would start at 0x%X, past its end", start);
        return;
    }
    BuildCrcTable();
    const uint32_t crc = Crc32Of(region.data() + start, region.size() - start);
    if (crc != block.crc)
        findings.Fault("self-check: CRC-32 0x%08X over 0x%X..0x%X, the ParameterBlock says 0x%08X: the covered "
                       "region was altered (the installer reports its header corrupt)%s",
                       crc, start, block.first_local_header, block.crc,
                       facts.stub->certificate_offset && !(block.flags & FLAG_SIGN_FRIENDLY)
                           ? "; it is signed but was not built with --sign-friendly"
                           : "");
}

// Where the archive ends: the end record's comment reaches to here.
size_t ArchiveEnd(const InstallerFacts &facts)
{
    return facts.parameters->end_record + END_RECORD_BYTES + facts.archive.end_comment_bytes;
}

void CheckSignature(const InstallerFacts &facts, Findings &findings)
{
    const StubFacts &stub = *facts.stub;
    if (stub.certificate_offset == 0)
        return;
    if (uint64_t(stub.certificate_offset) + stub.certificate_bytes != facts.bytes.size())
        findings.Fault("signature: the certificate at 0x%X (%u bytes) does not end the file (0x%zX bytes)",
                       stub.certificate_offset, stub.certificate_bytes, facts.bytes.size());
    if (facts.archive.end_record_read && stub.certificate_offset < ArchiveEnd(facts))
        findings.Fault("signature: the certificate at 0x%X lies inside the archive, which ends at 0x%zX",
                       stub.certificate_offset, ArchiveEnd(facts));
}

// The stub's message table and password dialog: the stub unpacks them at
// start and stops with an internal error when they do not fit.
void CheckStubTables(const InstallerFacts &facts, Findings &findings)
{
    const size_t size = std::min<size_t>(facts.stub->stub_bytes, facts.bytes.size());
    const StubLanguage *language = StubLanguageOf(facts.bytes.data(), size);
    if (!language) {
        findings.Fault("stub: it carries no message table this tvsfx knows (%s)", StubLanguageCodes().c_str());
        return;
    }
    if (const std::string fault = StubTableFault(*language, facts.bytes.data(), size); !fault.empty())
        findings.Fault("stub: %s", fault.c_str());
}

void CheckHeader(const InstallerFacts &facts, Findings &findings)
{
    if (!facts.header)
        return;
    const HeaderFacts &header = *facts.header;
    if (header.compressed_bytes == 0) {
        findings.Fault("header: its offset 0x%X does not lie before the first local header 0x%X in the file",
                       facts.parameters->header, facts.parameters->first_local_header);
        return;
    }
    if (header.compressed_bytes > HEADER_COMPRESSED_MAX_BYTES)
        findings.Fault("header: %zu bytes compressed, over the stub's %zu", header.compressed_bytes,
                       HEADER_COMPRESSED_MAX_BYTES);
    if (!header.decoded || header.fields.size() < HEADER_FIELD_COUNT) {
        findings.Fault("header: the stub's decoder cannot unpack it into its %zu-byte work area",
                       HEADER_UNPACKED_MAX_BYTES);
        return;
    }
    for (int field = 0; field < HEADER_FIELD_COUNT; field++)
        if (header.fields[field].size() + 1 > HeaderFieldBounds[field])
            findings.Fault("header: the %s field is %zu bytes, over the stub's %zu (an internal error at start)",
                           HeaderFieldNames[field], header.fields[field].size(), HeaderFieldBounds[field] - 1);
}

void CheckEndRecord(const InstallerFacts &facts, Findings &findings)
{
    const ParameterFacts &block = *facts.parameters;
    const std::vector<uint8_t> &bytes = facts.bytes;
    if (block.flags & FLAG_SPANNED)
        return;  // on removable disks: nothing of it is in this file
    if (block.end_record != 0) {
        const bool signature = Inside(bytes, block.end_record, ZIP_SIGNATURE_BYTES) &&
                               (IsZipSignature(bytes.data() + block.end_record, ZIP_END_RECORD_TAIL) ||
                                IsZipSignature(bytes.data() + block.end_record, ZIP_DIGITAL_SIGNATURE_TAIL));
        if (!signature) {
            findings.Fault("end record: none at 0x%X, where the ParameterBlock puts it (the installer refuses the "
                           "archive as damaged)",
                           block.end_record);
            return;
        }
    }
    if (facts.archive.walk_end && block.end_record && facts.archive.walk_end != block.end_record)
        findings.Fault("end record: the walk of the archive reaches one at 0x%zX, the ParameterBlock says 0x%X",
                       facts.archive.walk_end, block.end_record);
    const size_t limit = facts.stub->certificate_offset ? facts.stub->certificate_offset : bytes.size();
    const std::optional<size_t> trailing = FindTrailingEndRecord(bytes, std::min(limit, bytes.size()));
    if (!trailing)
        findings.Fault("end record: zip tools find none at the end of the file (truncated?)");
    else if (block.end_record && *trailing != block.end_record)
        findings.Fault("end record: zip tools find one at 0x%zX, the ParameterBlock says 0x%X", *trailing,
                       block.end_record);
    if (facts.archive.end_record_read && ArchiveEnd(facts) > limit)
        findings.Fault("end record: its comment runs to 0x%zX, past the end of the archive's room at 0x%zX "
                       "(truncated?)",
                       ArchiveEnd(facts), limit);
}

std::string Shown(const std::string &name, const std::string &codepage) { return FromAnsi(name, codepage); }

void CheckDirectory(const InstallerFacts &facts, const std::string &codepage, Findings &findings)
{
    const ArchiveFacts &archive = facts.archive;
    if (!archive.walk_failure.empty())
        findings.Fault("archive: %s", archive.walk_failure.c_str());
    if (!archive.central_failure.empty()) {
        findings.Fault("central directory: %s", archive.central_failure.c_str());
        return;
    }
    if (archive.central.size() != archive.members.size() && archive.walk_failure.empty())
        findings.Fault("central directory: %zu entries, the archive holds %zu local headers", archive.central.size(),
                       archive.members.size());
    if (!archive.members.empty() && archive.first_central && archive.stated_central_offset != archive.first_central)
        findings.Fault("central directory: the end record puts it at 0x%X, it starts at 0x%zX",
                       archive.stated_central_offset, archive.first_central);
    // Local headers by offset, and which central entry claimed each first:
    // one lookup per entry keeps this linear however many records there are.
    std::unordered_map<size_t, size_t> local_at;
    local_at.reserve(archive.members.size());
    for (size_t index = 0; index < archive.members.size(); index++)
        local_at.emplace(archive.members[index].offset, index);
    std::vector<const CentralRecord *> claimed_by(archive.members.size(), nullptr);
    for (const CentralRecord &central : archive.central) {
        const auto found = local_at.find(central.local_offset);
        const LocalRecord *local = found == local_at.end() ? nullptr : &archive.members[found->second];
        const std::string name = Shown(central.name, codepage);
        if (local) {
            const CentralRecord *&first = claimed_by[found->second];
            if (first) {
                // Zip tools would extract the same data twice (a zip bomb's trick).
                findings.Fault("member \"%s\": the central directory puts it at 0x%X, the local header of \"%s\" "
                               "too: members whose data overlap",
                               name.c_str(), central.local_offset, Shown(first->name, codepage).c_str());
                continue;
            }
            first = &central;
        }
        if (!local) {
            if (archive.walk_failure.empty())
                findings.Fault("member \"%s\": the central directory puts its local header at 0x%X, where there is "
                               "none", name.c_str(), central.local_offset);
            continue;
        }
        struct Field {
            const char *what;
            uint32_t central, local;
        } const fields[] = {
            {"CRC", central.crc, local->crc},
            {"compressed size", central.compressed_bytes, local->compressed_bytes},
            {"size", central.uncompressed_bytes, local->uncompressed_bytes},
            {"method", central.method, local->method},
            {"encryption bit", uint32_t(central.flags & ZIP_FLAG_ENCRYPTED), uint32_t(local->flags & ZIP_FLAG_ENCRYPTED)},
            {"time", uint32_t(central.dos_date) << 16 | central.dos_time, uint32_t(local->dos_date) << 16 | local->dos_time},
        };
        if (central.name != local->name)
            findings.Fault("member \"%s\": the local header at 0x%X names it \"%s\"", name.c_str(),
                           central.local_offset, Shown(local->name, codepage).c_str());
        for (const Field &field : fields)
            if (field.central != field.local)
                findings.Fault("member \"%s\": the central directory says %s 0x%X, the local header 0x%X",
                               name.c_str(), field.what, field.central, field.local);
    }
}

// The names as the stub meets them, in the walk's order, through the
// build's own check.
void CheckNames(const InstallerFacts &facts, const std::string &codepage, Findings &findings)
{
    const AnsiCodepage ansi = AnsiCodepageOf(codepage);
    NameClashes clashes(ansi);
    for (const LocalRecord &member : facts.archive.members) {
        std::string fault = MemberNameFault(member.name, ansi);
        if (fault.empty())
            fault = clashes.Add(member.name);
        if (!fault.empty())
            findings.Fault("member \"%s\": %s; the installer cannot extract it as it is named",
                           Shown(member.name, codepage).c_str(), fault.c_str());
    }
}

bool IsFolderEntry(const LocalRecord &member)
{
    return !member.name.empty() && (member.name.back() == '/' || member.name.back() == '\\') &&
           member.uncompressed_bytes == 0;
}

// Decodes every member; returns how many were left unchecked for want of a
// password.
size_t CheckMembers(const InstallerFacts &facts, const std::optional<std::string> &password,
                    const ReadingOptions &options, Findings &findings, uint64_t &checked_bytes)
{
    const ParameterFacts &block = *facts.parameters;
    const ArchiveFacts &archive = facts.archive;
    uint64_t total = 0;
    size_t encrypted = 0;
    for (const LocalRecord &member : archive.members) {
        total += member.uncompressed_bytes;
        encrypted += (member.flags & ZIP_FLAG_ENCRYPTED) ? 1 : 0;
    }
    if (archive.walk_failure.empty() && total != block.total_size)
        findings.Fault("total size: the ParameterBlock says %u bytes, the members unpack to %llu", block.total_size,
                       static_cast<unsigned long long>(total));
    if (encrypted && !(block.flags & FLAG_ENCRYPTED))
        findings.Fault("flags: %zu members are encrypted but bit 8 is clear: the installer never asks for the "
                       "password",
                       encrypted);

    size_t unchecked = 0;
    ProgressMeter progress("verifying", total, !options.quiet);
    StubDecoder decoder;
    for (const LocalRecord &member : archive.members) {
        const std::string name = Shown(member.name, options.codepage);
        if (!member.data_inside)
            continue;  // the walk's finding already says so
        if (IsFolderEntry(member) && member.compressed_bytes == 0)
            continue;
        if ((member.flags & ZIP_FLAG_ENCRYPTED) && !password) {
            unchecked++;
            continue;
        }
        const uint16_t method = member.aes_strength ? member.aes_method : member.method;
        const MemberToDecode input = {facts.bytes.data() + member.data_offset, member.compressed_bytes,
                                      member.uncompressed_bytes, member.crc, method, member.flags,
                                      member.dos_time, member.aes_strength, member.aes_version};
        const MemberCheck check = decoder.Check(input, password.value_or(""), progress);
        checked_bytes += check.output_bytes;
        switch (check.outcome) {
        case MemberOutcome::Sound: break;
        case MemberOutcome::UnknownMethod:
            findings.Fault("member \"%s\": method %u, which the installer cannot extract", name.c_str(), member.method);
            break;
        case MemberOutcome::ShortData:
            findings.Fault("member \"%s\": encrypted, but shorter than its %s", name.c_str(),
                           member.aes_strength ? "salt, verifier and authentication code" : "12-byte encryption header");
            break;
        case MemberOutcome::WrongPassword:
            findings.Fault("member \"%s\": the password does not match its encryption header", name.c_str());
            break;
        case MemberOutcome::BadAuthentication:
            findings.Fault("member \"%s\": its AES authentication code does not match its data (damaged or altered)",
                           name.c_str());
            break;
        case MemberOutcome::Damaged:
            findings.Fault("member \"%s\": its data does not decode (%s) after %llu bytes", name.c_str(),
                           DamageText(check, method), static_cast<unsigned long long>(check.output_bytes));
            break;
        case MemberOutcome::RefusedHeader:
            findings.Fault("member \"%s\": the installer refuses its LZMA header: %s", name.c_str(),
                           DamageText(check, method));
            break;
        case MemberOutcome::SizeMismatch:
            findings.Fault("member \"%s\": decodes to %llu bytes, its header says %u", name.c_str(),
                           static_cast<unsigned long long>(check.output_bytes), member.uncompressed_bytes);
            break;
        case MemberOutcome::CrcMismatch:
            findings.Fault("member \"%s\": decodes to CRC-32 0x%08X, its header says 0x%08X%s", name.c_str(),
                           check.crc, member.crc,
                           (member.flags & ZIP_FLAG_ENCRYPTED) ? " (or the password is wrong)" : "");
            break;
        }
    }
    return unchecked;
}

}  // namespace

int RunVerify(const ReadingOptions &options)
{
    CheckCodepage(options.codepage);
    std::optional<std::string> password;
    try {
        password = ResolvePassword(options.password, options.codepage);
    } catch (const BuildError &error) {
        throw UsageError(error.what());
    }
    std::vector<uint8_t> bytes;
    std::string error;
    std::string file = options.file;
    EntryInfo entry;
    if (QueryEntry(options.file, entry, error) && entry.kind == EntryKind::Folder) {
        // A disk set: its files joined in disk order are the installer as one file.
        std::vector<std::string> folders = {options.file};
        folders.insert(folders.end(), options.later_disks.begin(), options.later_disks.end());
        std::vector<std::string> faults;
        JoinedSet set = JoinDiskSet(folders, faults);
        for (const std::string &fault : faults)
            std::printf("%s\n", fault.c_str());
        if (set.image.empty() || !faults.empty())
            return EXIT_DAMAGED;
        bytes = std::move(set.image);
        file = set.installer_path;
    } else if (!options.later_disks.empty()) {
        throw UsageError("one installer at a time (\"" + options.later_disks[0] +
                         "\" is a second; a disk set is given as its folders)");
    } else if (const InputRead read = ReadInputFile(options.file, bytes, error); read != InputRead::Read) {
        std::printf("%s: %s%s\n", options.file.c_str(), read == InputRead::Unreachable ? "cannot read it: " : "",
                    error.c_str());
        return EXIT_DAMAGED;
    }
    const InstallerFacts facts = ReadInstaller(std::move(bytes));
    Findings findings(file);
    if (!facts.stub) {
        findings.Fault("stub: %s", facts.stub_failure.c_str());
        return EXIT_DAMAGED;
    }
    if (!facts.parameters) {
        findings.Fault("no ParameterBlock: not an installer made by tvsfx");
        return EXIT_DAMAGED;
    }
    const ParameterFacts &block = *facts.parameters;
    if (block.marker_count != 1)
        findings.Fault("ParameterBlock: its marker occurs %zu times; the self-check takes the first", block.marker_count);
    if (block.completion == 0)
        findings.Fault("ParameterBlock: the completion word is 0: the stub was never completed");
    if (block.entry_point != facts.stub->entry_point)
        findings.Fault("entry point: the PE header says 0x%X, the ParameterBlock expects 0x%X (the installer "
                       "refuses to run)",
                       facts.stub->entry_point, block.entry_point);
    for (const std::string &fault : ResourceFaults(facts.bytes))
        findings.Fault("%s", fault.c_str());
    CheckSelfCheck(facts, findings);
    CheckSignature(facts, findings);
    CheckStubTables(facts, findings);
    CheckHeader(facts, findings);
    CheckEndRecord(facts, findings);
    CheckDirectory(facts, options.codepage, findings);
    CheckNames(facts, options.codepage, findings);
    uint64_t checked_bytes = 0;
    const size_t unchecked = CheckMembers(facts, password, options, findings, checked_bytes);

    if (findings.count())
        return EXIT_DAMAGED;
    if (unchecked) {
        std::fprintf(stderr, "tvsfx: %s: %zu members are encrypted; give --password or --password-file to check "
                             "their data\n", file.c_str(), unchecked);
        return EXIT_USAGE;
    }
    if (options.quiet)
        return EXIT_SOUND;
    // AE-2 members carry no CRC: their authentication code is what was checked.
    const bool authenticated = std::any_of(facts.archive.members.begin(), facts.archive.members.end(),
                                           [](const LocalRecord &member) { return member.aes_strength != 0; });
    std::printf("%s: sound: %zu members, %llu bytes decoded and matching their %s; self-check %s%s\n",
                file.c_str(), facts.archive.members.size(),
                static_cast<unsigned long long>(checked_bytes),
                authenticated ? "CRCs or authentication codes" : "CRCs",
                block.crc == 0 ? "off (CRC field 0)"
                : (block.flags & FLAG_SIGN_FRIENDLY) ? "from the end of the NT headers (sign-friendly)"
                                                      : "over the whole stub and header",
                options.later_disks.empty() ? "" : "; the disks' cuts fall where the installer reads across");
    return EXIT_SOUND;
}
