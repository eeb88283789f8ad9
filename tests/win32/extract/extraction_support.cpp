#include "extract/extraction_support.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "archive/extraction_run.h"
#include "archive/output_path.h"
#include "extract/crc32.h"
#include "extract/output_writer.h"
#include "portable/parameter_block.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/parameter_block_data.h"
#include "startup/run_state.h"
#include "support/test_files.h"

namespace stub_test {

std::string Format(StringId id, ...)
{
    char text[2048];
    va_list args;
    va_start(args, id);
    vsnprintf(text, sizeof text, Message(id), args);
    va_end(args);
    return text;
}

std::string Archives(const std::string &name) { return std::string(TALVOK_ARCHIVES_DIR) + "\\" + name; }

static FILETIME WriteTime(const std::string &path)
{
    FILETIME time = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        GetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }
    return time;
}

void ExpectSameTree(const std::string &expected, const std::string &actual, const std::string &label)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((expected + "\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search) << expected;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string want = expected + "\\" + name, got = actual + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DWORD attributes = GetFileAttributesA(got.c_str());
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                << label << ": no folder " << got;
            ExpectSameTree(want, got, label);
        } else {
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(got.c_str())) << label << ": no file " << got;
            EXPECT_TRUE(ReadWholeFile(want) == ReadWholeFile(got)) << label << ": " << got << " differs";
            // Both programs take the DOS time as local time: unzip with the
            // zone's rule for the file's date, the stub (as the system's own
            // LocalFileTimeToFileTime does) with the rule in force now. Each
            // file's time read back under its program's rule is the same clock
            // time.
            FILETIME want_time = WriteTime(want), got_time = WriteTime(got), got_local;
            SYSTEMTIME want_utc, want_clock, got_clock;
            FileTimeToSystemTime(&want_time, &want_utc);
            SystemTimeToTzSpecificLocalTime(nullptr, &want_utc, &want_clock);
            FileTimeToLocalFileTime(&got_time, &got_local);
            FileTimeToSystemTime(&got_local, &got_clock);
            const auto seconds = [](const SYSTEMTIME &t) {
                return ((((t.wYear * 13 + t.wMonth) * 32 + t.wDay) * 24 + t.wHour) * 60 + t.wMinute) * 60 +
                       t.wSecond;
            };
            EXPECT_LE(std::abs(seconds(want_clock) - seconds(got_clock)), 1)
                << label << ": " << got << " shows another clock time";
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void ExtractionRunTest::SetUpTestSuite()
{
    ResetRunState();
    AppInstance = GetModuleHandleA(nullptr);
    BusyCursor = ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_EQ(0, AllocateRunBuffers());
    PrepareDecoder();
    UnpackMessageTable();
    BuildCrcTable();
    AssembleSignatures();
}

bool ExtractionRunTest::TakeOver(const std::string &installer)
{
    const std::string content = ReadWholeFile(installer);
    const size_t block = FindBlock(std::vector<uint8_t>(content.begin(), content.end()));
    if (block == std::string::npos)
        return false;
    CopyMemory(ParameterBlock, content.data() + block, PARAMETER_BLOCK_BYTES);
    ReadArchiveFlags();
    if (ArchiveFile != HFILE_ERROR)
        _lclose(ArchiveFile);
    ArchiveFile = _lopen(installer.c_str(), OF_SHARE_DENY_WRITE);
    lstrcpynA(OwnPath, installer.c_str(), sizeof OwnPath);
    return ArchiveFile != HFILE_ERROR;
}

int ExtractionRunTest::ExtractInto(const std::string &target)
{
    lstrcpynA(TargetFolder, target.c_str(), sizeof TargetFolder);
    ResetProgress();
    return ExtractionRun();
}

int ExtractionRunTest::Run(const std::string &installer, const std::string &folder)
{
    return TakeOver(installer) ? ExtractInto(FullPath(folder)) : -1;
}

}  // namespace stub_test
