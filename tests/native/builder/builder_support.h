// Shared by the builder tests: running tvsfx, temporary folders, and readers
// of the finished installer written for the tests alone (PE sections, the
// ParameterBlock, the zip records walked in file order as the stub walks
// them), so that the builder's output is checked by code that does not share
// its mistakes. zlib and the peer tools (unzip, 7z, objdump) are the other
// oracles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace builder_test {

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct ToolRun {
    int exit_code;
    std::string out;
    std::string err;
};

// Runs a shell command line; captures its output.
ToolRun RunShell(const std::string &command_line);
// Runs tvsfx with these arguments (quoted for the shell here). The
// environment variable TVSFX_UNDER_TEST, when set, is the command line that
// stands for tvsfx instead (Windows' tvsfx.exe run under Wine, say), so the
// same tests check both builders.
ToolRun RunTvsfx(const std::vector<std::string> &arguments);
// The same with environment assignments in front, e.g. "SOURCE_DATE_EPOCH=0".
ToolRun RunTvsfxWith(const std::string &assignments, const std::vector<std::string> &arguments);
// Whether tvsfx is the native builder (not TVSFX_UNDER_TEST).
bool NativeTvsfx();
// Runs "tvsfx build --quiet --out <out> --from-dir <folder>" followed by
// options: the build most tests make. --quiet keeps success silent; refusals
// still go to err.
ToolRun BuildFromDir(const std::string &folder, const std::string &out, const std::vector<std::string> &options = {});
std::string ShellQuote(const std::string &text);

std::vector<uint8_t> ReadBytes(const std::string &path);
void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes);
void WriteText(const std::string &path, const std::string &text);
bool FileExists(const std::string &path);
// Names in a folder (for "nothing was left behind").
std::vector<std::string> FolderEntries(const std::string &path);

uint32_t Le32(const std::vector<uint8_t> &bytes, size_t offset);
uint16_t Le16(const std::vector<uint8_t> &bytes, size_t offset);

// --- PE ---------------------------------------------------------------
struct PeSection {
    std::string name;
    uint32_t virtual_size, virtual_address, raw_size, raw_offset, characteristics;
};
struct PeView {
    uint32_t nt_offset;
    uint32_t file_alignment, section_alignment, size_of_image, size_of_headers;
    uint32_t size_of_initialized_data, entry_point, checksum;
    std::vector<PeSection> sections;
};
PeView ParsePe(const std::vector<uint8_t> &image);

// --- ParameterBlock ------------------------------------------------------
struct ParameterView {
    size_t offset;           // of the marker; npos when absent
    size_t marker_count;
    uint32_t crc, first_local_header, header, end_record, total_size, flags;
    std::string wait_name;
    uint16_t completion;
    uint32_t entry_point;
};
ParameterView ParseParameterBlock(const std::vector<uint8_t> &image);
// The CRC as the stub recomputes it, with zlib's crc32.
uint32_t ReferenceCrc(const std::vector<uint8_t> &image, const ParameterView &block);

// The eight header fields, inflated with zlib from [header, first local header).
std::vector<std::string> HeaderFields(const std::vector<uint8_t> &image, const ParameterView &block);

// --- zip, in file order --------------------------------------------------
struct LocalMember {
    size_t offset;
    std::string name;
    uint16_t flags, method, time, date;
    uint32_t crc, compressed_bytes, uncompressed_bytes;
    size_t data_offset;
    std::vector<uint8_t> descriptor;  // the 16 bytes after the data, for bit-3 members
};
struct LocalWalk {
    std::vector<LocalMember> members;
    size_t central_offset;   // first central header met
    size_t end_record;       // where the walk ended
    std::string failure;     // empty when the walk reached an end record
};
// Walks from first_local_header the way the stub does: local headers with
// their data (and 16 bytes more with bit 3), central headers, the end record.
LocalWalk WalkLikeTheStub(const std::vector<uint8_t> &image, size_t first_local_header);

struct CentralMember {
    std::string name;
    uint16_t flags, method;
    uint32_t crc, compressed_bytes, uncompressed_bytes, local_offset;
};
// Central directory through the end record at end_record.
std::vector<CentralMember> CentralDirectory(const std::vector<uint8_t> &image, size_t end_record);

// Unpacks a member's data as found by the walk (stored or deflate, after
// decryption with password when it is encrypted); false for other methods.
bool UnpackMember(const std::vector<uint8_t> &image, const LocalMember &member, const std::string &password,
                  std::vector<uint8_t> &content);

// The last byte of the decrypted 12-byte encryption header of member.
uint8_t EncryptionCheckByte(const std::vector<uint8_t> &image, const LocalMember &member,
                            const std::string &password);

// --- fixtures --------------------------------------------------------------
std::string StubPath();          // the stub this tree built

// The public peer archives in <corpus>/peer-zips. <corpus> is the folder in
// the environment variable TALVOK_CORPUS_DIR when it is set, else the shared
// corpus beside the source tree. A clone without that folder still passes:
// tests skip what needs a missing archive (TALVOK_CORPUS_DIR=/nonexistent
// runs them that way).
std::string CorpusZip(const std::string &name);
// Whether CorpusZip(name) is there; when it is not, prints a line
// "skipped: <path> is absent" so that the left-out case shows in the log.
bool HaveCorpusZip(const std::string &name);
// Whether a program is on the PATH; when it is not, prints a line
// "skipped: <tool> is not installed" (for tools the set-up leaves out).
bool HaveTool(const std::string &tool);

// A small folder: two text files, a nested folder with a random (stored)
// file and an empty file, an empty folder.
void MakeSamplePayload(const std::string &folder);

// Makes the archive work/name with a peer tool. command is a shell script
// run in a fresh folder holding the sample payload and far.txt (about 80 KB
// of text whose second half repeats the first from 40 KB back, so a
// Deflate64 writer reaches past deflate's window), with OUT_ZIP set to
// the archive's path, e.g. "7z a -tzip -mm=Deflate64 \"$OUT_ZIP\" .". (Not
// ZIP: Info-ZIP zip reads its default options from that variable.) Returns the
// path; a failing command is a test failure and gives "".
std::string MakePeerZip(const TempDir &work, const std::string &name, const std::string &command);

}  // namespace builder_test
