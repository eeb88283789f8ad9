// How runs end when something goes wrong: every failure with its own
// message, read from the box the run shows, the run's result, and what is
// left in the folder. The damaged archives come from make_failures.py and
// are put into installers as they are (tvsfx build --verbatim).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/output_path.h"
#include "extract/crc32.h"
#include "extract/crypt/member_input.h"
#include "extract/extraction_support.h"
#include "portable/byte_order.h"
#include "portable/parameter_block.h"
#include "startup/message_table.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "support/test_files.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

constexpr long ANY_SIZE = -1;
constexpr uint32_t CHUNK_BYTES = 0x7000;
constexpr long BIG_BYTES = 300000;  // failures\big.exe's first member, stored

std::string ReadError(const std::string &installer, int code)
{
    return Format(MSG_READ_ERROR, installer.c_str()) + " <" + std::to_string(code) + ">";
}

// A file the run left is closed: it opens with no sharing at all.
bool IsClosed(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

uint32_t HeaderCrc(const std::string &zip)  // of the first local header
{
    const std::string bytes = ReadWholeFile(zip);
    return bytes.size() >= 18 ? ReadLe32(reinterpret_cast<const uint8_t *>(bytes.data()) + 14) : 0;
}

void WriteFile(const std::string &path, const std::string &content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

// A copy of the installer that ends where its archive ends (the builder pads
// the file after it), as a download cut short would; its full path.
std::string EndingWithItsArchive(const std::string &installer, const std::string &zip, const std::string &copy)
{
    const std::string content = ReadWholeFile(installer);
    const size_t block = FindBlock(std::vector<uint8_t>(content.begin(), content.end()));
    if (block == std::string::npos)
        return "";
    const uint32_t first = ReadLe32(reinterpret_cast<const uint8_t *>(content.data()) + block + PB_FIRST_LOCAL_HEADER);
    WriteFile(copy, content.substr(0, first + ReadWholeFile(zip).size()));
    return FullPath(copy);
}

struct Where {
    std::string installer, zip, folder;  // full paths; folder is the target
};

struct Failure {
    const char *name;  // failures\<name>.exe
    std::function<std::string(const Where &)> text;
    std::map<std::string, long> left;  // every file left in the folder, by size
    char *password = nullptr;
    // Run after the installer is taken over, before the run: may prepare the
    // folder, patch the block, or name another target.
    std::function<void(Where &)> prepare = nullptr;
};

auto Text(StringId id) { return [id](const Where &) { return std::string(Message(id)); }; }
auto ReadCode(int code) { return [code](const Where &w) { return ReadError(w.installer, code); }; }
auto WithName(StringId id, std::string name) { return [=](const Where &) { return Format(id, name.c_str()); }; }
auto WithPath(StringId id, std::string relative)
{
    return [=](const Where &w) { return Format(id, (w.folder + "\\" + relative).c_str()); };
}
// The CRC message: the CRC of what was written (the whole output, closed)
// against the header's.
auto BadCrc(std::string relative, uint32_t header_crc = 0)
{
    return [=](const Where &w) {
        const std::string path = w.folder + "\\" + relative, content = ReadWholeFile(path);
        const unsigned long wanted = header_crc ? header_crc : HeaderCrc(w.zip);
        return Format(MSG_BAD_CRC, path.c_str(), static_cast<unsigned long>(Crc32Of(content.data(), content.size())),
                      wanted);
    };
}

// The message of an AES member whose authentication code does not match:
// the CRC of what was written, from the payload's file with the same byte
// flipped (the file itself is gone), against AE-2's stored 0.
auto AuthenticationFailure(std::string relative, std::string payload_file, size_t flipped, uint8_t mask)
{
    return [=](const Where &w) {
        std::string content = ReadWholeFile(Archives("payload\\" + payload_file));
        if (flipped < content.size())
            content[flipped] = static_cast<char>(content[flipped] ^ mask);
        return Format(MSG_BAD_CRC, (w.folder + "\\" + relative).c_str(),
                      static_cast<unsigned long>(Crc32Of(content.data(), content.size())), 0ul);
    };
}

class FailureTest : public ExtractionRunTest {
protected:
    void TearDown() override
    {
        Password = nullptr;
        OverwriteWithoutAsking = 1;
        MainWindow = nullptr;
    }
};

TEST_F(FailureTest, EachFailureEndsTheRunWithItsMessage)
{
    static char password[] = "clave secreta";
    const std::string long_name(260, 'n'), long_folder = std::string(259, 'd') + "/";
    const Failure cases[] = {
        // Reads that come up short, each with its code.
        {"cut-name", ReadCode(1), {{"uno.txt", ANY_SIZE}}},
        {"cut-local-header", ReadCode(4), {{"uno.txt", ANY_SIZE}}},
        {"cut-central", ReadCode(6), {{"uno.txt", ANY_SIZE}, {"dos.txt", 510}}},
        {"cut-end", ReadCode(7), {{"uno.txt", ANY_SIZE}, {"dos.txt", 510}}},
        {"cut-signature", ReadCode(9), {{"uno.txt", ANY_SIZE}, {"dos.txt", 510}}},
        {"cut-data", ReadCode(2), {{"uno.txt", ANY_SIZE}, {"dos.txt", 0}}},
        {"cut-encryption-header", ReadCode(14), {}, password},
        // Bytes between records that are no signature a single-file archive
        // may hold.
        {"garbage", Text(MSG_BAD_ZIP_HEADER), {{"uno.txt", ANY_SIZE}}},
        {"descriptor-signature", Text(MSG_BAD_ZIP_HEADER), {{"uno.txt", ANY_SIZE}}},
        // Methods and checks.
        {"method-12", Text(MSG_UNSUPPORTED_METHOD), {{"uno.txt", 0}}},
        {"method-99", Text(MSG_UNSUPPORTED_METHOD), {}},
        // AES: no password, a wrong one, and altered data, whose file is
        // removed rather than left looking complete.
        {"aes-wrong-password", Text(MSG_NO_PASSWORD), {}},
        {"aes-wrong-password", Text(MSG_WRONG_PASSWORD), {}, password},
        {"aes-flipped", AuthenticationFailure("leeme.txt", "leeme.txt", 1000, 0x20), {}, password},
        {"bad-crc", BadCrc("dos.txt", 0x0BADC0DE), {{"uno.txt", ANY_SIZE}, {"dos.txt", 510}}},
        {"broken-deflate", BadCrc("uno.txt"), {{"uno.txt", ANY_SIZE}}},
        // LZMA: damage and a stream cut short end like damaged deflate; a
        // header the decoder does not take leaves the empty file.
        {"broken-lzma", BadCrc("uno.txt"), {{"uno.txt", ANY_SIZE}}},
        {"cut-lzma", BadCrc("uno.txt"), {{"uno.txt", ANY_SIZE}}},
        {"lzma-properties", Text(MSG_UNSUPPORTED_METHOD), {{"uno.txt", 0}}},
        {"lzma-dictionary", Text(MSG_UNSUPPORTED_METHOD), {{"uno.txt", 0}}},
        // Names and paths.
        {"name-261", Text(MSG_NAME_TOO_LONG), {}},
        {"name-261-central", Text(MSG_NAME_TOO_LONG), {{"uno.txt", 510}}},
        {"name-260", WithName(MSG_CANNOT_CREATE_FILE, long_name), {}},
        {"folder-260", WithName(MSG_CANNOT_CREATE_FOLDER, long_folder), {}},
        {"bad-folder", WithPath(MSG_CANNOT_CREATE_FOLDER, "carpeta?mala"), {}},
        {"unsafe-parent", WithName(MSG_CANNOT_CREATE_FILE, "../fuera.txt"), {}},
        {"unsafe-inner-parent", WithName(MSG_CANNOT_CREATE_FILE, "docs/../../fuera.txt"), {}},
        {"unsafe-backslash-parent", WithName(MSG_CANNOT_CREATE_FILE, "docs\\..\\..\\fuera.txt"), {}},
        {"unsafe-drive", WithName(MSG_CANNOT_CREATE_FILE, "C:fuera.txt"), {}},
        {"unsafe-stream", WithName(MSG_CANNOT_CREATE_FILE, "uno.txt:oculto"), {}},
        {"unsafe-unc-slashes", WithName(MSG_CANNOT_CREATE_FILE, "//servidor/fuera.txt"), {}},
        {"unsafe-unc-backslashes", WithName(MSG_CANNOT_CREATE_FILE, "\\\\servidor\\fuera.txt"), {}},
        {"unsafe-empty", WithName(MSG_CANNOT_CREATE_FILE, ""), {}},
        {"unsafe-root-only", WithName(MSG_CANNOT_CREATE_FILE, "/"), {}},
        // A NUL inside the stored name: the message shows the name up to it.
        {"unsafe-nul-folder", WithName(MSG_CANNOT_CREATE_FILE, "fuera/sub"), {}},
        {"unsafe-nul-root", WithName(MSG_CANNOT_CREATE_FILE, "\\fuera_raiz\\sub"), {}},
        {"unsafe-nul-file", WithName(MSG_CANNOT_CREATE_FILE, "uno.txt"), {}},
        // Devices, in any folder, with any extension, blanks or dots.
        {"device-nul", WithName(MSG_CANNOT_CREATE_FILE, "NUL"), {}},
        {"device-nul-dot", WithName(MSG_CANNOT_CREATE_FILE, "nul."), {}},
        {"device-aux", WithName(MSG_CANNOT_CREATE_FILE, "AUX"), {}},
        {"device-com1", WithName(MSG_CANNOT_CREATE_FILE, "COM1"), {}},
        {"device-folder-nul", WithName(MSG_CANNOT_CREATE_FILE, "docs/nul.txt"), {}},
        {"device-lpt9", WithName(MSG_CANNOT_CREATE_FILE, "lpt9 .log"), {}},
        {"device-conout", WithName(MSG_CANNOT_CREATE_FILE, "CONOUT$"), {}},
        {"device-con-extensions", WithName(MSG_CANNOT_CREATE_FILE, "Con.tar.gz"), {}},
        {"device-com0-folder", WithName(MSG_CANNOT_CREATE_FILE, "docs/com0/x.txt"), {}},
        {"device-prn-folder", WithName(MSG_CANNOT_CREATE_FILE, "PRN /"), {}},
        {"device-com-superscript", WithName(MSG_CANNOT_CREATE_FILE, "com\xb9"), {}},
        // What the folder or the block holds.
        // A folder where the file goes. (A read-only file would do on
        // Windows, but Wine run as root writes through it.)
        {"big", WithPath(MSG_CANNOT_CREATE_FILE, "grande.bin"), {}, nullptr,
         [](Where &w) {
             CreateDirectoryA(w.folder.c_str(), nullptr);
             CreateDirectoryA((w.folder + "\\grande.bin").c_str(), nullptr);
         }},
        {"big", WithName(MSG_INVALID_DRIVE, "Q"), {}, nullptr, [](Where &w) { w.folder = "Q:\\salida"; }},
        {"big", Text(MSG_IO_ERROR), {}, nullptr,
         [](Where &) { WriteLe32(ParameterBlock + PB_FIRST_LOCAL_HEADER, 0x80000000u); }},
    };
    int row = 0;
    for (const Failure &c : cases) {
        const std::string label = std::string(c.name) + " (row " + std::to_string(++row) + ")";
        const std::string zip = Archives(std::string("failures\\") + c.name + ".zip");
        Where where{EndingWithItsArchive(Archives(std::string("failures\\") + c.name + ".exe"), zip,
                                         std::string(c.name) + ".exe"),
                    zip, FullPath("fail-" + std::to_string(row))};
        RemoveTree(where.folder);
        ASSERT_TRUE(TakeOver(where.installer)) << label;
        if (c.prepare)
            c.prepare(where);
        Password = c.password;
        WindowAnswerer boxes(PressOnEveryBox(IDOK));
        EXPECT_EQ(2, ExtractInto(where.folder)) << label;
        // Every row runs, whatever an earlier one showed.
        const std::vector<std::string> &texts = boxes.Stop();
        EXPECT_EQ(1u, texts.size()) << label;
        if (texts.size() == 1)
            EXPECT_EQ(c.text(where), texts[0]) << label;

        std::map<std::string, long> left;
        ListFiles(where.folder, "", left);
        EXPECT_EQ(c.left.size(), left.size()) << label;
        for (const auto &[name, size] : c.left) {
            if (!left.count(name)) {
                ADD_FAILURE() << label << ": no " << name;
                continue;
            }
            if (size != ANY_SIZE)
                EXPECT_EQ(size, left[name]) << label << ": " << name;
            EXPECT_TRUE(IsClosed(where.folder + "\\" + name)) << label << ": " << name << " still open";
        }
        // Nothing beside the folder either, nor at the root of its drive:
        // unsafe names were refused.
        for (const std::string &outside : {FullPath("fuera.txt"), FullPath("fuera"), std::string("\\fuera_raiz")}) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(outside.c_str())) << label << ": " << outside;
            RemoveTree(outside);
        }
        RemoveTree(where.folder);
    }
}

TEST_F(FailureTest, FullDiskEndsWithTheWriteMessage)
{
    if (GetFileAttributesA(Archives("full\\tmpfs.txt").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no small tmpfs to fill: make_archives.sh mounts one only when run as root";
    const std::string folder = FullPath(Archives("full")), path = folder + "\\grande.bin";
    DeleteFileA(path.c_str());
    ASSERT_TRUE(TakeOver(Archives("failures\\big.exe")));
    WindowAnswerer boxes(PressOnEveryBox(IDOK));
    EXPECT_EQ(2, ExtractInto(folder));
    const std::vector<std::string> &texts = boxes.Stop();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(Format(MSG_WRITE_ERROR, path.c_str()), texts[0]);
    // What fitted stays, closed.
    std::map<std::string, long> left;
    ListFiles(folder, "", left);
    ASSERT_EQ(1u, left.count("grande.bin"));
    EXPECT_LT(left["grande.bin"], BIG_BYTES);
    EXPECT_GE(left["grande.bin"], static_cast<long>(CHUNK_BYTES));
    EXPECT_TRUE(IsClosed(path));
    DeleteFileA(path.c_str());
}

// With OverwriteWithoutAsking cleared, a second run into the same folder
// asks once per existing file.
TEST_F(FailureTest, OverwriteQuestionAnswers)
{
    const std::string installer = Archives("stored.exe");
    const std::vector<std::string> files = {"leeme.txt", "docs\\ruido.bin", "docs\\vacio.txt",
                                            "docs\\sub\\lejos.dat"};
    const struct {
        const char *label;
        int answer, result;
        size_t questions;
        bool replaced;
    } cases[] = {
        {"No steps over", IDNO, 0, files.size(), false},
        {"Yes replaces", IDYES, 0, files.size(), true},
        {"Cancel ends the run", IDCANCEL, 1, 1, false},
    };
    for (const auto &c : cases) {
        const std::string folder = FullPath(std::string("overwrite-") + c.label);
        RemoveTree(folder);
        OverwriteWithoutAsking = 0;
        ASSERT_TRUE(TakeOver(installer));
        {
            WindowAnswerer boxes(PressOnEveryBox(IDOK));
            ASSERT_EQ(0, ExtractInto(folder)) << c.label;
            EXPECT_TRUE(boxes.Stop().empty()) << c.label << ": asked about new files";
        }
        const std::string original = ReadWholeFile(folder + "\\leeme.txt");
        for (const std::string &file : files)
            WriteFile(folder + "\\" + file, "cambiado");

        std::vector<std::string> questions;
        for (const std::string &file : files)
            questions.push_back(Format(MSG_OVERWRITE_QUESTION, (folder + "\\" + file).c_str()));
        WindowAnswerer boxes(PressOnEveryBox(c.answer));
        EXPECT_EQ(c.result, ExtractInto(folder)) << c.label;
        std::vector<std::string> texts = boxes.Stop();
        ASSERT_EQ(c.questions, texts.size()) << c.label;
        for (const std::string &text : texts)
            EXPECT_NE(questions.end(), std::find(questions.begin(), questions.end(), text)) << c.label << ": " << text;
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts.end(), std::adjacent_find(texts.begin(), texts.end())) << c.label << ": asked twice";
        EXPECT_EQ(c.replaced ? original : "cambiado", ReadWholeFile(folder + "\\leeme.txt")) << c.label;
        RemoveTree(folder);
    }
}

// A member named a second time with a size of 2 GiB or more, stepped over
// at the overwrite question: the walk goes on from its data, which is no
// record, and never back to the first member (which would ask again, for as
// long as the answer is No). After a second question the answer is Cancel.
TEST_F(FailureTest, SteppingOverAHugeSizeNeverGoesBack)
{
    const std::string installer = Archives("failures\\step-back.exe");
    const std::string folder = FullPath("step-back");
    RemoveTree(folder);
    OverwriteWithoutAsking = 0;
    ASSERT_TRUE(TakeOver(installer));
    int boxes_seen = 0;
    WindowAnswerer boxes([&](HWND box) {
        const std::string text = uiauto::MessageBoxText(box);
        const int button = GetDlgItem(box, IDNO) ? (++boxes_seen == 1 ? IDNO : IDCANCEL) : IDOK;
        (void)uiauto::PressButtonId(box, button);
        return text;
    });
    const int result = ExtractInto(folder);
    const std::vector<std::string> texts = boxes.Stop();
    EXPECT_EQ(2, result);
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(Format(MSG_OVERWRITE_QUESTION, (folder + "\\dos.txt").c_str()), texts[0]);
    EXPECT_EQ(Message(MSG_BAD_ZIP_HEADER), texts[1]);
    RemoveTree(folder);
}

// A key or a click on the main window while a member of many chunks is
// written asks whether to stop. The input is queued before the run, so the
// question comes after the first chunk.
TEST_F(FailureTest, UserInputDuringWritingAsksToStop)
{
    HWND main_window = CreateWindowA("STATIC", "principal", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, main_window);
    const struct {
        const char *label;
        UINT input;
        int answer, result;
        long first_member_bytes;
        bool second_member;
    } cases[] = {
        {"key, No goes on", WM_KEYDOWN, IDNO, 0, BIG_BYTES, true},
        {"key, Yes stops", WM_KEYDOWN, IDYES, 2, CHUNK_BYTES, false},
        {"click, Yes stops", WM_LBUTTONDOWN, IDYES, 2, CHUNK_BYTES, false},
    };
    for (const auto &c : cases) {
        const std::string folder = FullPath(std::string("cancel-") + c.label);
        RemoveTree(folder);
        ASSERT_TRUE(TakeOver(Archives("failures\\big.exe")));
        MainWindow = main_window;
        PostMessageA(main_window, c.input, c.input == WM_KEYDOWN ? VK_SPACE : MK_LBUTTON, 0);
        WindowAnswerer boxes(PressOnEveryBox(c.answer));
        EXPECT_EQ(c.result, ExtractInto(folder)) << c.label;
        const std::vector<std::string> &texts = boxes.Stop();
        ASSERT_EQ(1u, texts.size()) << c.label << ": only the question, no error box";
        EXPECT_EQ(Message(MSG_CANCEL_QUESTION), texts[0]) << c.label;

        std::map<std::string, long> left;
        ListFiles(folder, "", left);
        EXPECT_EQ(c.first_member_bytes, left["grande.bin"]) << c.label;
        EXPECT_TRUE(IsClosed(folder + "\\grande.bin")) << c.label;
        EXPECT_EQ(c.second_member, left.count("despues.txt") == 1) << c.label;
        RemoveTree(folder);
    }
    MainWindow = nullptr;
    DestroyWindow(main_window);
}

}  // namespace
