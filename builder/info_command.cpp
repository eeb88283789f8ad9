// "tvsfx info" (see info_command.h).
#include "extract/aes/ae_format.h"
#include "info_command.h"

#include "archive/zip_records.h"
#include "build_error.h"
#include "flag_switches.h"
#include "host_system.h"
#include "input_file.h"
#include "installer_reader.h"
#include "json_writer.h"
#include "resource_report.h"
#include "stub_language.h"
#include "text_encoding.h"

#include <algorithm>
#include <cstdio>
#include <string>

const char *const HeaderFieldNames[HEADER_FIELD_COUNT] = {"about", "command", "parameters", "reserved",
                                                          "text",  "title",   "intro",      "info"};

namespace {

const char *ArchText(PeArch arch) { return arch == PeArch::X64 ? "x64" : "x86"; }
const char *PeFormText(PeArch arch) { return arch == PeArch::X64 ? "PE32+ x86-64" : "PE32 i386"; }

// The language of the stub's message table: "es", "en"; "" when this tvsfx
// knows none of it. Only the stub's own bytes are searched, not the payload.
std::string LanguageOf(const InstallerFacts &facts)
{
    const size_t size = std::min<size_t>(facts.stub->stub_bytes, facts.bytes.size());
    const StubLanguage *language = StubLanguageOf(facts.bytes.data(), size);
    return language ? language->code : "";
}

std::string Hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The member's cipher: "no", "zipcrypto", or AES with its strength.
std::string CipherText(const LocalRecord &member)
{
    if (!(member.flags & ZIP_FLAG_ENCRYPTED))
        return "no";
    if (member.aes_strength)
        return "AES-" + std::to_string(AeKeyBytes(member.aes_strength) * 8);
    return member.method == ZIP_METHOD_AES ? "AES-?" : "zipcrypto";
}

// An AES member's method is the real one of its AE field.
uint16_t ShownMethod(const LocalRecord &member)
{
    return member.aes_strength ? member.aes_method : member.method;
}

std::string JoinNames(const std::vector<std::string> &names)
{
    std::string joined;
    for (const std::string &name : names)
        joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

uint64_t UnpackedTotal(const ArchiveFacts &archive)
{
    uint64_t total = 0;
    for (const LocalRecord &member : archive.members)
        total += member.uncompressed_bytes;
    return total;
}

void PrintText(const ReadingOptions &options, const InstallerFacts &facts)
{
    std::printf("%-20s %s, %zu bytes\n", "file", options.file.c_str(), facts.bytes.size());
    if (facts.stub) {
        const StubFacts &stub = *facts.stub;
        std::printf("%-20s %s (%s), %u bytes, entry point 0x%X\n", "stub", ArchText(stub.arch),
                    PeFormText(stub.arch), stub.stub_bytes, stub.entry_point);
        const std::string language = LanguageOf(facts);
        std::printf("%-20s %s\n", "language", language.empty() ? "unknown (a message table this tvsfx does not know)"
                                                              : language.c_str());
        if (stub.certificate_offset)
            std::printf("%-20s certificate at 0x%X, %u bytes\n", "signature", stub.certificate_offset,
                        stub.certificate_bytes);
        else
            std::printf("%-20s none\n", "signature");
    } else {
        std::printf("%-20s unreadable: %s\n", "stub", facts.stub_failure.c_str());
    }
    PrintResources(facts.bytes);
    const ParameterFacts &block = *facts.parameters;
    std::printf("%-20s at 0x%zX\n", "parameter block", block.offset);
    std::printf("  %-18s %s\n", "crc", Hex32(block.crc).c_str());
    std::printf("  %-18s 0x%X\n", "first local header", block.first_local_header);
    std::printf("  %-18s 0x%X\n", "header", block.header);
    std::printf("  %-18s 0x%X\n", "end record", block.end_record);
    std::printf("  %-18s %u\n", "total size", block.total_size);
    std::printf("  %-18s %s %s\n", "flags", Hex32(block.flags).c_str(), JoinNames(FlagWordNames(block.flags)).c_str());
    std::printf("  %-18s \"%s\"\n", "wait name", FromAnsi(block.wait_name, options.codepage).c_str());
    std::printf("  %-18s 0x%04X\n", "completion", block.completion);
    std::printf("  %-18s 0x%X\n", "entry point", block.entry_point);
    if (facts.header) {
        const HeaderFacts &header = *facts.header;
        std::printf("%-20s %zu bytes compressed, %zu unpacked%s\n", "header", header.compressed_bytes,
                    header.unpacked_bytes, header.decoded ? "" : " (damaged: the stub cannot decode it)");
        for (size_t field = 0; field < header.fields.size(); field++)
            std::printf("  %-18s \"%s\"\n", HeaderFieldNames[field],
                        FromAnsi(header.fields[field], options.codepage).c_str());
    } else {
        std::printf("%-20s none\n", "header");
    }
    const ArchiveFacts &archive = facts.archive;
    std::printf("%-20s %zu, %llu bytes unpacked\n", "members", archive.members.size(),
                static_cast<unsigned long long>(UnpackedTotal(archive)));
    if (!archive.members.empty())
        std::printf("  %-9s %10s %10s  %-10s  %-9s  %s\n", "method", "compressed", "unpacked", "crc", "cipher",
                    "name");
    for (const LocalRecord &member : archive.members)
        std::printf("  %-9s %10u %10u  %s  %-9s  %s\n", MethodText(ShownMethod(member)), member.compressed_bytes,
                    member.uncompressed_bytes, Hex32(member.crc).c_str(), CipherText(member).c_str(),
                    FromAnsi(member.name, options.codepage).c_str());
    if (!archive.walk_failure.empty())
        std::printf("  (the walk stops: %s)\n", archive.walk_failure.c_str());
}

void PrintJson(const ReadingOptions &options, const InstallerFacts &facts)
{
    JsonWriter json(stdout);
    json.BeginObject();
    json.String("file", options.file);
    json.Number("bytes", facts.bytes.size());
    json.BeginObject("stub");
    if (facts.stub) {
        json.String("arch", ArchText(facts.stub->arch));
        json.String("format", PeFormText(facts.stub->arch));
        json.Number("bytes", facts.stub->stub_bytes);
        json.Number("entry_point", facts.stub->entry_point);
        json.String("language", LanguageOf(facts));
    } else {
        json.String("failure", facts.stub_failure);
    }
    json.EndObject();
    json.BeginObject("signature");
    json.Bool("signed", facts.stub && facts.stub->certificate_offset != 0);
    if (facts.stub && facts.stub->certificate_offset) {
        json.Number("offset", facts.stub->certificate_offset);
        json.Number("bytes", facts.stub->certificate_bytes);
    }
    json.EndObject();
    WriteResourcesJson(facts.bytes, json);
    const ParameterFacts &block = *facts.parameters;
    json.BeginObject("parameter_block");
    json.Number("offset", block.offset);
    json.Number("crc", block.crc);
    json.Number("first_local_header", block.first_local_header);
    json.Number("header", block.header);
    json.Number("end_record", block.end_record);
    json.Number("total_size", block.total_size);
    json.BeginObject("flags");
    json.Number("word", block.flags);
    json.BeginArray("names");
    for (const std::string &name : FlagWordNames(block.flags))
        json.String(nullptr, name);
    json.EndArray();
    json.EndObject();
    json.String("wait_name", FromAnsi(block.wait_name, options.codepage));
    json.Number("completion", block.completion);
    json.Number("entry_point", block.entry_point);
    json.EndObject();
    json.BeginObject("header");
    if (facts.header) {
        json.Bool("decoded", facts.header->decoded);
        json.Number("compressed_bytes", facts.header->compressed_bytes);
        json.Number("unpacked_bytes", facts.header->unpacked_bytes);
        json.BeginObject("fields");
        for (size_t field = 0; field < facts.header->fields.size(); field++)
            json.String(HeaderFieldNames[field], FromAnsi(facts.header->fields[field], options.codepage));
        json.EndObject();
    }
    json.EndObject();
    json.BeginArray("members");
    for (const LocalRecord &member : facts.archive.members) {
        json.BeginObject();
        json.String("name", FromAnsi(member.name, options.codepage));
        json.String("method", MethodText(ShownMethod(member)));
        json.Number("method_id", member.method);
        json.Number("compressed_bytes", member.compressed_bytes);
        json.Number("uncompressed_bytes", member.uncompressed_bytes);
        json.Number("crc", member.crc);
        json.Bool("encrypted", member.flags & ZIP_FLAG_ENCRYPTED);
        json.String("cipher", CipherText(member));
        json.Number("offset", member.offset);
        json.EndObject();
    }
    json.EndArray();
    if (!facts.archive.walk_failure.empty())
        json.String("walk_failure", facts.archive.walk_failure);
    json.EndObject();
    json.Finish();
}

}  // namespace

int RunInfo(const ReadingOptions &options)
{
    CheckCodepage(options.codepage);
    std::vector<uint8_t> bytes;
    std::string error;
    switch (ReadInputFile(options.file, bytes, error)) {
    case InputRead::Read: break;
    case InputRead::Unreachable: Refuse("%s: cannot read it: %s", options.file.c_str(), error.c_str());
    case InputRead::Refused: Refuse("%s: %s", options.file.c_str(), error.c_str());
    }
    const InstallerFacts facts = ReadInstaller(std::move(bytes));
    if (!facts.parameters)
        Refuse("%s: not an installer made by tvsfx (no ParameterBlock)", options.file.c_str());
    if (options.json)
        PrintJson(options, facts);
    else
        PrintText(options, facts);
    return 0;
}
