// What the installer-mode tests share: the message table the modules show
// their texts from, scratch folders that go away with everything in them
// (names outside the code page included), and files made with given
// attributes.
#pragma once

#include <windows.h>

#include <string>

namespace stub_test {

// Unpacks the message table and clears the run state, as start-up does.
void PrepareInstallerModules();

// UTF-16 form of an ANSI path, and back; "" when it does not convert.
std::wstring Wide(const std::string &ansi);
std::string Ansi(const std::wstring &wide);

// A folder of its own under the test's working folder, made empty at the
// start and removed with its content at the end. Links inside are never
// entered.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string &name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    // Its full path, without a trailing separator.
    const std::string &Path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};


// Creates path with content and then gives it attributes; false on failure.
bool MakeFile(const std::string &path, const std::string &content, DWORD attributes = FILE_ATTRIBUTE_NORMAL);

bool Exists(const std::string &path);
bool IsFolder(const std::string &path);

// The names under folder, one "relative\path" per line, sorted; "" when it is
// empty or absent.
std::string ListTree(const std::string &folder);

}  // namespace stub_test
