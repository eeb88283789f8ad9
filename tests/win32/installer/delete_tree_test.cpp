// The clean-up: DeleteTree on trees built here, a file this test holds open
// (deleted at restart: the system's list of pending deletions in the
// registry is read back and restored), the refusals, and the links that
// make_links.sh leaves inside a folder.
#include "installer/delete_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "fixed_texts.h"
#include "installer/installer_support.h"
#include "startup/message_table.h"
#include "startup/run_state.h"
#include "support/test_files.h"
#include "support/window_answerer.h"
#include "uiauto.h"

namespace {

using namespace stub_test;

bool IsLink(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The system's list of files to delete at restart (pairs of NUL-terminated
// names, the second empty for a deletion), put back as it was at the end.
class PendingDeletions {
public:
    PendingDeletions()
    {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY_NAME, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                        nullptr);
        saved_ = Read(&present_);
    }
    ~PendingDeletions()
    {
        if (present_)
            RegSetValueExA(key_, VALUE_NAME, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(saved_.data()),
                           static_cast<DWORD>(saved_.size()));
        else
            RegDeleteValueA(key_, VALUE_NAME);
        RegCloseKey(key_);
    }
    // True when path is listed for deletion (the system writes it as \??\path).
    bool Lists(const std::string &path) const
    {
        bool present = false;
        const std::string value = Read(&present);
        const std::string entry = std::string("\\??\\") + path + '\0' + '\0';
        return value.find(entry) != std::string::npos;
    }

private:
    std::string Read(bool *present) const
    {
        DWORD type = 0, size = 0;
        *present = RegQueryValueExA(key_, VALUE_NAME, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
        std::string value(size, '\0');
        if (*present && size)
            RegQueryValueExA(key_, VALUE_NAME, nullptr, &type, reinterpret_cast<BYTE *>(&value[0]), &size);
        return value;
    }
    static constexpr const char *KEY_NAME = "System\\CurrentControlSet\\Control\\Session Manager";
    static constexpr const char *VALUE_NAME = "PendingFileRenameOperations";
    HKEY key_ = nullptr;
    bool present_ = false;
    std::string saved_;
};

class DeleteTreeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrepareInstallerModules(); }
    void SetUp() override
    {
        CommandFailed = 0;
        MainWindow = nullptr;
    }
    void TearDown() override { CommandFailed = 0; }

    // Whatever a test schedules for deletion at restart leaves the list again.
    PendingDeletions pending_;
};

TEST_F(DeleteTreeTest, EverythingGoesWhateverItsAttributesOrName)
{
    ScratchFolder scratch("delete-all");
    const std::string tree = scratch / "TVSE0.TMP";
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    for (const char *folder : {"sub", "sub\\nested", "sub\\empty", "Una carpeta con nombre largo"})
        ASSERT_TRUE(CreateDirectoryA((tree + "\\" + folder).c_str(), nullptr)) << folder;
    const struct {
        const char *name;
        DWORD attributes;
    } files[] = {
        {"plain.txt", FILE_ATTRIBUTE_NORMAL},
        {"readonly.txt", FILE_ATTRIBUTE_READONLY},
        {"hidden.txt", FILE_ATTRIBUTE_HIDDEN},
        {"system.txt", FILE_ATTRIBUTE_SYSTEM},
        {"all.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"Un nombre de archivo largo.txt", FILE_ATTRIBUTE_ARCHIVE},
        {"sub\\nested\\deep.txt", FILE_ATTRIBUTE_READONLY},
        {"Una carpeta con nombre largo\\dentro.txt", FILE_ATTRIBUTE_NORMAL},
    };
    for (const auto &file : files)
        ASSERT_TRUE(MakeFile(tree + "\\" + file.name, "contenido", file.attributes)) << file.name;
    // A name the ANSI code page cannot carry: FindFirstFileA lists it as
    // "???????.txt", so only its short name reaches it.
    const std::wstring cyrillic = Wide(tree) + L"\\\x0414\x043C\x0438\x0442\x0440\x0438\x0439.txt";
    HANDLE file = CreateFileW(cyrillic.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    WindowAnswerer boxes(PressOnEveryBox(IDOK));
    EXPECT_TRUE(DeleteTree(tree.c_str(), nullptr));
    EXPECT_EQ("", ListTree(tree)) << "left in the folder";
    EXPECT_FALSE(Exists(tree));
    EXPECT_TRUE(boxes.Stop().empty()) << "a box was shown";
}

// Man pages of one command family: long names that share a long prefix.
// Wine makes short names on the fly by hashing the long name, and the last
// two here get the same one (GCLO~2YN.1), so a deletion through the listed
// short name reaches one of them twice and the other never; through the long
// names every one goes, at the top and inside a folder with such a name.
TEST_F(DeleteTreeTest, LongNamesSharingAPrefixAllGo)
{
    ScratchFolder scratch("delete-prefix");
    const std::string tree = scratch / "TVSE0.TMP";
    const std::string inner = tree + "\\gcloud_network-security_mirroring-deployment-groups";
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    std::vector<std::string> names;
    for (const char *group : {"address-groups", "authorization-policies", "client-tls-policies",
                              "firewall-endpoint-associations", "firewall-endpoints", "gateway-security-policies",
                              "intercept-deployment-groups", "intercept-deployments", "intercept-endpoint-groups",
                              "mirroring-deployment-groups", "mirroring-deployments", "mirroring-endpoint-groups",
                              "mirroring-endpoint-group-associations", "security-profiles", "server-tls-policies",
                              "tls-inspection-policies", "url-lists", "operations", "org-address-groups",
                              "security-profile-groups", "intercept-endpoint-group-associations", "locations",
                              "mirroring-endpoint-group-associations-v1", "authz-policies", "backend-policies"})
        for (const char *verb : {"create", "delete", "describe", "list", "update", "add-iam-policy-binding",
                                 "get-iam-policy", "set-iam-policy", "remove-iam-policy-binding", "export",
                                 "import", "add-items"})
            names.push_back(std::string("gcloud_network-security_") + group + "_" + verb + ".1");
    names.push_back("gcloud_network-security_security-profile-groups.1");
    names.push_back("gcloud_network-services_meshes_list.1");
    for (const std::string &folder : {tree, inner})
        for (const std::string &name : names)
            ASSERT_TRUE(MakeFile(folder + "\\" + name, name, FILE_ATTRIBUTE_READONLY)) << name;

    WindowAnswerer boxes(PressOnEveryBox(IDOK));
    EXPECT_TRUE(DeleteTree(tree.c_str(), nullptr));
    EXPECT_EQ("", ListTree(tree)) << "left in the folder";
    EXPECT_FALSE(Exists(tree));
    EXPECT_TRUE(boxes.Stop().empty()) << "a box was shown";
}

// A setup program may leave a tree deeper than any 261-byte path (made here
// through "\\?\" paths): the entries that no path of that size reaches, even
// through short names, stay with the folders that hold them; everything else
// goes, with no internal error (which would show its box and end this
// program with exit code 1).
TEST_F(DeleteTreeTest, TreeDeeperThanThePathsLeavesOnlyWhatCannotBeReached)
{
    ScratchFolder scratch("delete-deep");
    const std::string tree = scratch / "TVSE0.TMP";
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    ASSERT_TRUE(MakeFile(tree + "\\before.txt", "antes"));
    ASSERT_TRUE(MakeFile(tree + "\\zz-after.txt", "despues", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryA((tree + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(MakeFile(tree + "\\sub\\inside.txt", "dentro"));
    const std::wstring top = L"\\\\?\\" + Wide(tree);
    std::wstring level = top + L"\\deep";
    ASSERT_TRUE(CreateDirectoryW(level.c_str(), nullptr));
    std::vector<std::wstring> files;
    for (int depth = 0; depth < 40; depth++) {
        level += L"\\a-level-of-a-tree-too-deep-for-its-paths-" + std::to_wstring(depth);
        ASSERT_TRUE(CreateDirectoryW(level.c_str(), nullptr)) << depth;
        files.push_back(level + L"\\file.txt");
        HANDLE file = CreateFileW(files.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << depth;
        CloseHandle(file);
    }
    ASSERT_GT(level.size(), 1600u);

    WindowAnswerer boxes(PressOnEveryBox(IDOK));
    EXPECT_FALSE(DeleteTree(tree.c_str(), nullptr)) << "the folder holds the deep tree";
    EXPECT_TRUE(boxes.Stop().empty()) << "a box was shown";
    EXPECT_FALSE(Exists(tree + "\\before.txt"));
    EXPECT_FALSE(Exists(tree + "\\zz-after.txt")) << "the entries after the deep tree were not reached";
    EXPECT_FALSE(Exists(tree + "\\sub"));
    for (int depth : {0, 1})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(files[depth].c_str())) << "a path that fits reaches "
                                                                                       << Ansi(files[depth]);
    // Deep names past ListTree's buffers come back empty: only the start of
    // each listed path is compared.
    std::istringstream left(ListTree(tree));
    for (std::string name; std::getline(left, name);)
        EXPECT_TRUE(name.empty() || name.rfind("deep", 0) == 0) << "left outside the deep tree: " << name;
    RemoveTree(top);
}

TEST_F(DeleteTreeTest, NothingGoesAfterACommandThatFailed)
{
    ScratchFolder scratch("delete-failed");
    const std::string tree = scratch / "TVSE0.TMP";
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((tree + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(MakeFile(tree + "\\setup.exe", "MZ"));
    ASSERT_TRUE(MakeFile(tree + "\\sub\\data.bin", "datos"));
    CommandFailed = 1;
    WindowAnswerer boxes(PressOnEveryBox(IDOK));
    EXPECT_FALSE(DeleteTree(tree.c_str(), nullptr));
    EXPECT_EQ("setup.exe\nsub\nsub\\data.bin\n", ListTree(tree));
    EXPECT_TRUE(boxes.Stop().empty()) << "a box was shown";
}

// Short paths are refused with StringId 24 in a box owned by MainWindow (not
// by the owner argument); a drive root is never enumerated.
TEST_F(DeleteTreeTest, ShortPathsAreRefusedWithAMessage)
{
    HWND main_window = CreateWindowA("STATIC", "main", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    HWND other_owner = CreateWindowA("STATIC", "other", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(main_window && other_owner);
    MainWindow = main_window;
    for (const char *folder : {static_cast<const char *>(nullptr), "", "C:\\", "abc"}) {
        const std::string label = folder ? std::string("\"") + folder + "\"" : "null";
        WindowAnswerer boxes([main_window](HWND box) {
            std::string record = uiauto::WindowText(box) + " | " + uiauto::MessageBoxText(box);
            if (GetWindow(box, GW_OWNER) != main_window)
                record += " | not owned by MainWindow";
            if (!uiauto::PressButtonId(box, IDOK))
                record += " | " + uiauto::LastFailure();
            return record;
        });
        EXPECT_FALSE(DeleteTree(folder, other_owner)) << label;
        const std::vector<std::string> &records = boxes.Stop();
        ASSERT_EQ(1u, records.size()) << label;
        EXPECT_EQ(std::string(TEXT_CAPTION) + " | " + Message(MSG_CHANGE_FOLDER_ERROR), records[0]) << label;
    }
    EXPECT_TRUE(IsFolder("C:\\windows")) << "the drive root was emptied";
    MainWindow = nullptr;
    DestroyWindow(main_window);
    DestroyWindow(other_owner);
}

// A file held open without sharing is retried for a second (the thread's
// queue is pumped meanwhile), then scheduled for deletion at restart; the
// rest goes, and the folder that still holds the file stays. A hidden file
// held open for reading and writing (its attributes can change, it cannot
// be deleted) keeps its attributes: they are reset only for a file that
// refuses deletion because of them.
TEST_F(DeleteTreeTest, LockedFileIsLeftToTheRestart)
{
    ScratchFolder scratch("delete-locked");
    const std::string tree = scratch / "TVSE0.TMP";
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((tree + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(MakeFile(tree + "\\free.txt", "libre"));
    ASSERT_TRUE(MakeFile(tree + "\\sub\\free.txt", "libre"));
    ASSERT_TRUE(MakeFile(tree + "\\held.txt", "en uso"));
    const std::string held = tree + "\\held.txt";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const std::string hidden = tree + "\\hidden.txt";
    ASSERT_TRUE(MakeFile(hidden, "oculto", FILE_ATTRIBUTE_HIDDEN));
    HANDLE shared = CreateFileA(hidden.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, shared);

    ASSERT_FALSE(pending_.Lists(held));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0));
    const DWORD start = GetTickCount();
    EXPECT_FALSE(DeleteTree(tree.c_str(), nullptr)) << "the folder holds the file";
    const DWORD elapsed = GetTickCount() - start;
    CloseHandle(file);
    CloseHandle(shared);

    EXPECT_GE(elapsed, 2000u) << "a file was given up before its second";
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_APP, WM_APP, PM_NOREMOVE)) << "the queue was not pumped";
    EXPECT_EQ("held.txt\nhidden.txt\n", ListTree(tree));
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, GetFileAttributesA(hidden.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE)
        << "the attributes of a file that was not deleted were reset";
    EXPECT_TRUE(pending_.Lists(held)) << held << " is not listed for deletion at restart";
}

// make_links.sh leaves tree\dirlink -> outside and tree\emptylink ->
// outside\empty beside a plain file. Whatever the system can do with links,
// nothing of outside may go: neither the file behind dirlink (entering the
// link) nor the empty folder behind emptylink (removing the target in the
// link's place, which Wine 8 does for RemoveDirectoryA on a link). Where the
// system removes links as links, the tree goes; where it cannot reach a link
// itself, the links and the tree stay.
TEST_F(DeleteTreeTest, LinksAreNeverFollowed)
{
    const std::string links = TALVOK_LINKS_DIR;
    const std::string tree = links + "\\tree", outside = links + "\\outside";
    if (!IsFolder(tree))
        GTEST_SKIP() << tree << " was not made by make_links.sh (ctest makes it): links are not tested";
    for (const char *link : {"dirlink", "emptylink"})
        ASSERT_TRUE(IsLink(tree + "\\" + link)) << link << " is not shown as a link";

    const bool removed = DeleteTree(tree.c_str(), nullptr);
    EXPECT_EQ("empty\nkeep.txt\n", ListTree(outside)) << "the link's target was touched";
    EXPECT_EQ("keep\n", ReadWholeFile(outside + "\\keep.txt"));
    EXPECT_FALSE(Exists(tree + "\\plain.txt"));
    if (removed) {
        EXPECT_FALSE(Exists(tree));
    } else {
        EXPECT_EQ("dirlink\nemptylink\n", ListTree(tree)) << "only the links may stay";
        for (const char *link : {"dirlink", "emptylink"})
            EXPECT_TRUE(IsLink(tree + "\\" + link)) << link;
    }
}

}  // namespace
