// Deleting a folder tree on real folders of the Wine prefix: what goes, what
// stays and what is reported, and that a directory link is never followed.
// The link comes from the seeded fake machine: a Windows program under Wine
// cannot make one.

#include "files_fixture.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace qx {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Entry {
    // Below the folder; a name ending in a backslash is a folder.
    std::wstring Name;
    bool ReadOnly = false;
};

struct DeleteCase {
    const char* Name;
    std::vector<Entry> Entries;
    bool Removed;
    // What is left below the folder when it is not removed.
    std::vector<std::wstring> Left;
};

TEST(DeleteFolderTree, RemovesEverythingButReadOnlyFilesAndTheFoldersAboveThem)
{
    const DeleteCase cases[] = {
        {"empty", {}, true, {}},
        {"files and nested folders",
         {{L"a.log"}, {L"sub\\"}, {L"sub\\b.txt"}, {L"sub\\deeper\\"}, {L"sub\\deeper\\c.dmp"}, {L"empty\\"}},
         true,
         {}},
        {"a read-only file deep inside",
         {{L"a.log"}, {L"sub\\"}, {L"sub\\locked.log", true}, {L"sub\\b.txt"}, {L"other\\"}, {L"other\\c.txt"}},
         false,
         {L"sub", L"sub\\locked.log"}},
        {"a read-only file at the top", {{L"locked.log", true}, {L"sub\\"}, {L"sub\\b.txt"}}, false, {L"locked.log"}},
    };
    for (const DeleteCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder root(L"delete");
        const std::wstring folder = root / L"Log";
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        std::vector<std::wstring> all;
        for (const Entry& entry : c.Entries) {
            const std::wstring path = folder + L"\\" + entry.Name;
            if (path.back() == L'\\') {
                ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
                all.push_back(path.substr(0, path.size() - 1));
                continue;
            }
            ASSERT_TRUE(WriteBytes(path, "log line\r\n"));
            if (entry.ReadOnly) {
                ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
            }
            all.push_back(path);
        }

        EXPECT_EQ(DeleteFolderTree(folder), c.Removed);

        EXPECT_EQ(Exists(folder), !c.Removed);
        for (const std::wstring& path : all) {
            bool left = false;
            for (const std::wstring& name : c.Left) left = left || path == folder + L"\\" + name;
            EXPECT_EQ(Exists(path), left) << testing::PrintToString(path);
        }
    }
}

TEST(DeleteFolderTree, OnlyAFolderThatDoesNotExistCountsAsDone)
{
    TempFolder root(L"delete");
    EXPECT_TRUE(DeleteFolderTree(root / L"missing"));
    EXPECT_TRUE(DeleteFolderTree(root / L"missing\\deeper"));
    EXPECT_TRUE(DeleteFolderTree(L"Q:\\qxdiag-no-such-drive\\Log"));
    // A file of that name cannot be listed either, but it is there: no success.
    ASSERT_TRUE(WriteBytes(root / L"Log", "a file, not a folder\r\n"));
    EXPECT_FALSE(DeleteFolderTree(root / L"Log"));
    EXPECT_EQ(ReadBytes(root / L"Log"), "a file, not a folder\r\n");
    EXPECT_FALSE(DeleteFolderTree(root / L"Log\\below"));
    EXPECT_FALSE(DeleteFolderTree(L""));
    EXPECT_TRUE(Exists(root.Path())) << "an empty path names nothing, not the current folder";
}

TEST(DeleteFolderTree, TakesTheFolderWithATrailingBackslash)
{
    TempFolder root(L"delete");
    const std::wstring folder = root / L"Log";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(folder + L"\\a.log", "x"));
    EXPECT_TRUE(DeleteFolderTree(folder + L"\\"));
    EXPECT_FALSE(Exists(folder));
}

// Laid into the prefix by tests/machine/seed.
constexpr wchar_t kLinkedLogFolder[] = L"S:\\log-with-link";
constexpr wchar_t kLink[] = L"S:\\log-with-link\\linked-dir";
constexpr wchar_t kLinkTarget[] = L"S:\\link-target";
constexpr char kKeptBytes[] = "outside the log folder\r\n";

class DirectoryLink : public testing::Test {
protected:
    void SetUp() override
    {
        const DWORD attributes = ::GetFileAttributesW(kLink);
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "the fake machine's seed makes the link";
        ASSERT_EQ(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                  static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
        ASSERT_EQ(ReadBytes(std::wstring(kLinkTarget) + L"\\kept.txt"), kKeptBytes);
    }

    static void ExpectTargetUntouched()
    {
        EXPECT_EQ(ReadBytes(std::wstring(kLinkTarget) + L"\\kept.txt"), kKeptBytes);
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        const UniqueHandleFind find(::FindFirstFileW((std::wstring(kLinkTarget) + L"\\*").c_str(), &found));
        ASSERT_TRUE(find);
        do {
            names.emplace_back(found.cFileName);
        } while (::FindNextFileW(find.get(), &found));
        EXPECT_EQ(names.size(), 3u) << "., .. and kept.txt only";
    }
};

TEST_F(DirectoryLink, InsideTheFolderIsRemovedAsALinkNeverEntered)
{
    const std::wstring folder = kLinkedLogFolder;
    ASSERT_TRUE(WriteBytes(folder + L"\\a.log", "log line\r\n"));
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(folder + L"\\sub\\b.log", "log line\r\n"));

    const bool removed = DeleteFolderTree(folder);

    ExpectTargetUntouched();
    EXPECT_FALSE(Exists(folder + L"\\a.log"));
    EXPECT_FALSE(Exists(folder + L"\\sub"));
    // Windows removes the link itself; Wine cannot remove a Unix link and
    // keeps it, and the folder with it.
    EXPECT_EQ(removed, !Exists(folder));
    EXPECT_EQ(Exists(kLink), Exists(folder));
}

TEST_F(DirectoryLink, GivenAsTheFolderItselfIsRefused)
{
    EXPECT_EQ(FolderTreeDeletionRefusal(kLink), FolderRefusal::Link);
    EXPECT_FALSE(DeleteFolderTree(kLink));
    EXPECT_FALSE(DeleteFolderTree(std::wstring(kLink) + L"\\"));
    ExpectTargetUntouched();
    EXPECT_TRUE(Exists(kLink));
}

}  // namespace
}  // namespace qx
