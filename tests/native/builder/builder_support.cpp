// Test-side readers and helpers for the builder tests (see builder_support.h).
#include "builder_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

namespace builder_test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    char pattern[] = "/tmp/tvsfx-test-XXXXXX";
    const char *made = mkdtemp(pattern);
    if (!made)
        throw std::runtime_error("mkdtemp failed");
    path_ = made;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ShellQuote(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

static std::string Slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ToolRun RunShell(const std::string &command_line)
{
    TempDir capture;
    std::string full = "(" + command_line + ") >" + capture / "out" + " 2>" + capture / "err" + " </dev/null";
    int status = std::system(full.c_str());
    ToolRun run;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(capture / "out");
    run.err = Slurp(capture / "err");
    return run;
}

bool NativeTvsfx()
{
    const char *under_test = std::getenv("TVSFX_UNDER_TEST");
    return !under_test || !*under_test;
}

ToolRun RunTvsfxWith(const std::string &assignments, const std::vector<std::string> &arguments)
{
    std::string line = assignments.empty() ? "" : "env " + assignments + " ";
    line += NativeTvsfx() ? ShellQuote(TVSFX_EXE) : std::string(std::getenv("TVSFX_UNDER_TEST"));
    for (const std::string &argument : arguments)
        line += " " + ShellQuote(argument);
    ToolRun run = RunShell(line);
    // tvsfx says why on every failure; a failure without a word is Wine's
    // start of tvsfx.exe (now and then refused on a busy server): again.
    for (int attempt = 0; attempt < 2 && !NativeTvsfx() && run.exit_code != 0 && run.err.empty(); attempt++)
        run = RunShell(line);
    return run;
}

ToolRun RunTvsfx(const std::vector<std::string> &arguments) { return RunTvsfxWith("", arguments); }

ToolRun BuildFromDir(const std::string &folder, const std::string &out, const std::vector<std::string> &options)
{
    std::vector<std::string> arguments = {"build", "--quiet", "--out", out, "--from-dir", folder};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return RunTvsfx(arguments);
}

std::vector<uint8_t> ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteText(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool FileExists(const std::string &path) { return fs::exists(fs::symlink_status(path)); }

std::vector<std::string> FolderEntries(const std::string &path)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    return names;
}

uint32_t Le32(const std::vector<uint8_t> &bytes, size_t offset)
{
    if (offset + 4 > bytes.size())
        return 0xDEADBEEF;
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
           uint32_t(bytes[offset + 3]) << 24;
}

uint16_t Le16(const std::vector<uint8_t> &bytes, size_t offset)
{
    if (offset + 2 > bytes.size())
        return 0xDEAD;
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

PeView ParsePe(const std::vector<uint8_t> &image)
{
    PeView pe = {};
    pe.nt_offset = Le32(image, 0x3C);
    const size_t optional = pe.nt_offset + 24;
    pe.file_alignment = Le32(image, optional + 36);
    pe.section_alignment = Le32(image, optional + 32);
    pe.size_of_image = Le32(image, optional + 56);
    pe.size_of_headers = Le32(image, optional + 60);
    pe.size_of_initialized_data = Le32(image, optional + 8);
    pe.entry_point = Le32(image, optional + 16);
    pe.checksum = Le32(image, optional + 64);
    const uint16_t count = Le16(image, pe.nt_offset + 6);
    const size_t table = optional + Le16(image, pe.nt_offset + 20);
    for (uint16_t index = 0; index < count; index++) {
        size_t at = table + index * 40u;
        PeSection section;
        section.name.assign(reinterpret_cast<const char *>(image.data() + at), 8);
        section.name.resize(std::strlen(section.name.c_str()));
        section.virtual_size = Le32(image, at + 8);
        section.virtual_address = Le32(image, at + 12);
        section.raw_size = Le32(image, at + 16);
        section.raw_offset = Le32(image, at + 20);
        section.characteristics = Le32(image, at + 36);
        pe.sections.push_back(section);
    }
    return pe;
}

ParameterView ParseParameterBlock(const std::vector<uint8_t> &image)
{
    static const uint8_t marker[8] = {'K', 'D', 'X', 0x01, 's', 'f', 'x', 0x02};
    ParameterView block = {};
    block.offset = std::string::npos;
    for (size_t at = 0; at + 8 <= image.size(); at++)
        if (std::memcmp(image.data() + at, marker, 8) == 0) {
            if (block.marker_count++ == 0)
                block.offset = at;
        }
    if (block.offset == std::string::npos)
        return block;
    const size_t at = block.offset;
    block.crc = Le32(image, at + 8);
    block.first_local_header = Le32(image, at + 12);
    block.header = Le32(image, at + 16);
    block.end_record = Le32(image, at + 20);
    block.total_size = Le32(image, at + 24);
    block.flags = Le32(image, at + 28);
    block.wait_name.assign(reinterpret_cast<const char *>(image.data() + at + 32), 10);
    block.wait_name.resize(std::strlen(block.wait_name.c_str()));
    block.completion = Le16(image, at + 42);
    block.entry_point = Le32(image, at + 54);
    return block;
}

uint32_t ReferenceCrc(const std::vector<uint8_t> &image, const ParameterView &block)
{
    std::vector<uint8_t> region(image.begin(), image.begin() + block.first_local_header);
    std::memset(region.data() + block.offset + 8, 0, 4);
    size_t start = (block.flags & 0x800) ? Le32(image, 0x3C) + 248u : 0;
    return static_cast<uint32_t>(crc32(0, region.data() + start, static_cast<uInt>(region.size() - start)));
}

static bool RawInflate(const uint8_t *data, size_t data_bytes, std::vector<uint8_t> &out, size_t expected_bytes)
{
    z_stream stream = {};
    if (inflateInit2(&stream, -15) != Z_OK)
        return false;
    out.assign(expected_bytes + 64, 0);
    stream.next_in = const_cast<Bytef *>(data);
    stream.avail_in = static_cast<uInt>(data_bytes);
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return rc == Z_STREAM_END;
}

std::vector<std::string> HeaderFields(const std::vector<uint8_t> &image, const ParameterView &block)
{
    std::vector<uint8_t> unpacked;
    if (!RawInflate(image.data() + block.header, block.first_local_header - block.header, unpacked, 4096))
        return {};
    std::vector<std::string> fields;
    size_t at = 0;
    while (at < unpacked.size()) {
        size_t end = at;
        while (end < unpacked.size() && unpacked[end] != 0)
            end++;
        fields.emplace_back(reinterpret_cast<const char *>(unpacked.data() + at), end - at);
        at = end + 1;
    }
    return fields;
}

static bool IsSignature(const std::vector<uint8_t> &image, size_t at, uint8_t third, uint8_t fourth)
{
    return at + 4 <= image.size() && image[at] == 'P' && image[at + 1] == 'K' && image[at + 2] == third &&
           image[at + 3] == fourth;
}

LocalWalk WalkLikeTheStub(const std::vector<uint8_t> &image, size_t first_local_header)
{
    LocalWalk walk = {};
    walk.central_offset = std::string::npos;
    size_t at = first_local_header;
    for (;;) {
        if (IsSignature(image, at, 3, 4)) {
            LocalMember member = {};
            member.offset = at;
            member.flags = Le16(image, at + 6);
            member.method = Le16(image, at + 8);
            member.time = Le16(image, at + 10);
            member.date = Le16(image, at + 12);
            member.crc = Le32(image, at + 14);
            member.compressed_bytes = Le32(image, at + 18);
            member.uncompressed_bytes = Le32(image, at + 22);
            uint16_t name_bytes = Le16(image, at + 26);
            uint16_t extra_bytes = Le16(image, at + 28);
            if (at + 30 + name_bytes > image.size()) {
                walk.failure = "name past the end";
                return walk;
            }
            member.name.assign(reinterpret_cast<const char *>(image.data() + at + 30), name_bytes);
            member.data_offset = at + 30 + name_bytes + extra_bytes;
            at = member.data_offset + member.compressed_bytes;
            if (member.flags & 8) {
                member.descriptor.assign(image.begin() + std::min(at, image.size()),
                                         image.begin() + std::min(at + 16, image.size()));
                at += 16;
            }
            walk.members.push_back(member);
        } else if (IsSignature(image, at, 1, 2)) {
            if (walk.central_offset == std::string::npos)
                walk.central_offset = at;
            at += 46 + Le16(image, at + 28) + Le16(image, at + 30) + Le16(image, at + 32);
        } else if (IsSignature(image, at, 5, 6) || IsSignature(image, at, 5, 5)) {
            walk.end_record = at;
            return walk;
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "no known signature at 0x%zX", at);
            walk.failure = text;
            return walk;
        }
    }
}

std::vector<CentralMember> CentralDirectory(const std::vector<uint8_t> &image, size_t end_record)
{
    std::vector<CentralMember> members;
    size_t at = Le32(image, end_record + 16);
    const uint16_t count = Le16(image, end_record + 10);
    for (uint16_t index = 0; index < count && IsSignature(image, at, 1, 2); index++) {
        CentralMember member = {};
        member.flags = Le16(image, at + 8);
        member.method = Le16(image, at + 10);
        member.crc = Le32(image, at + 16);
        member.compressed_bytes = Le32(image, at + 20);
        member.uncompressed_bytes = Le32(image, at + 24);
        member.local_offset = Le32(image, at + 42);
        uint16_t name_bytes = Le16(image, at + 28);
        member.name.assign(reinterpret_cast<const char *>(image.data() + at + 46), name_bytes);
        members.push_back(member);
        at += 46 + name_bytes + Le16(image, at + 30) + Le16(image, at + 32);
    }
    return members;
}

// The traditional zip cipher, written out from the published algorithm.
namespace {
struct ZipCipher {
    uint32_t keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
    static uint32_t CrcStep(uint32_t crc, uint8_t byte)
    {
        crc ^= byte;
        for (int bit = 0; bit < 8; bit++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        return crc;
    }
    void Update(uint8_t plain)
    {
        keys[0] = CrcStep(keys[0], plain);
        keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
        keys[2] = CrcStep(keys[2], static_cast<uint8_t>(keys[1] >> 24));
    }
    explicit ZipCipher(const std::string &password)
    {
        for (char c : password)
            Update(static_cast<uint8_t>(c));
    }
    uint8_t Decrypt(uint8_t cipher)
    {
        uint16_t t = static_cast<uint16_t>(keys[2] | 2);
        uint8_t plain = static_cast<uint8_t>(cipher ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8));
        Update(plain);
        return plain;
    }
};
}  // namespace

uint8_t EncryptionCheckByte(const std::vector<uint8_t> &image, const LocalMember &member,
                            const std::string &password)
{
    ZipCipher cipher(password);
    uint8_t last = 0;
    for (size_t index = 0; index < 12; index++)
        last = cipher.Decrypt(image[member.data_offset + index]);
    return last;
}

bool UnpackMember(const std::vector<uint8_t> &image, const LocalMember &member, const std::string &password,
                  std::vector<uint8_t> &content)
{
    std::vector<uint8_t> data(image.begin() + member.data_offset,
                              image.begin() + member.data_offset + member.compressed_bytes);
    if (member.flags & 1) {
        ZipCipher cipher(password);
        for (uint8_t &byte : data)
            byte = cipher.Decrypt(byte);
        data.erase(data.begin(), data.begin() + 12);
    }
    if (member.method == 0) {
        content = data;
        return true;
    }
    if (member.method == 8)
        return RawInflate(data.data(), data.size(), content, member.uncompressed_bytes);
    return false;
}

std::string StubPath() { return TALVOK_STUB_EXE; }

std::string CorpusZip(const std::string &name)
{
    const char *chosen = std::getenv("TALVOK_CORPUS_DIR");
    return std::string(chosen && *chosen ? chosen : TALVOK_CORPUS_DIR) + "/peer-zips/" + name;
}

bool HaveCorpusZip(const std::string &name)
{
    const std::string path = CorpusZip(name);
    if (fs::is_regular_file(path))
        return true;
    std::cout << "skipped: " << path << " is absent\n";
    return false;
}

bool HaveTool(const std::string &tool)
{
    if (RunShell("command -v " + ShellQuote(tool)).exit_code == 0)
        return true;
    std::cout << "skipped: " << tool << " is not installed\n";
    return false;
}

void MakeSamplePayload(const std::string &folder)
{
    fs::create_directories(folder + "/docs/empty");
    std::string lines;
    for (int line = 1; line <= 400; line++)
        lines += "line " + std::to_string(line) + " of a compressible text\r\n";
    WriteText(folder + "/readme.txt", lines);
    WriteText(folder + "/setup.bat", "@echo off\r\necho set-up ran\r\n");
    std::mt19937 random(7);
    std::vector<uint8_t> noise(3000);
    for (uint8_t &byte : noise)
        byte = static_cast<uint8_t>(random());
    WriteBytes(folder + "/docs/noise.bin", noise);
    WriteText(folder + "/docs/zero.txt", "");
}

std::string MakePeerZip(const TempDir &work, const std::string &name, const std::string &command)
{
    const std::string folder = work / ("in-" + name);
    MakeSamplePayload(folder);
    std::mt19937 random(11);
    std::string words;
    while (words.size() < 40000) {
        const int letters = 2 + int(random() % 7);
        for (int letter = 0; letter < letters; letter++)
            words += char('a' + random() % 10);
        words += random() % 9 ? ' ' : '\n';
    }
    WriteText(folder + "/far.txt", words + std::string(600, '-') + words);

    const std::string zip = work / name;
    ToolRun run = RunShell("cd " + ShellQuote(folder) + " || exit 1\nexport OUT_ZIP=" + ShellQuote(zip) + "\n" + command +
                           "\n");
    if (run.exit_code != 0 || !fs::is_regular_file(zip)) {
        ADD_FAILURE() << name << ": the peer tool failed (exit " << run.exit_code << ")\n"
                      << command << "\n" << run.out << run.err;
        return "";
    }
    return zip;
}

}  // namespace builder_test
