// Folder operations on real folders of the Wine prefix: creating folder trees
// with open access, joining paths within MAX_PATH, and the folder picker.

#include "files_fixture.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/ui.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace qx {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

bool IsDirectory(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<BYTE> SecurityBytes(const std::wstring& path)
{
    DWORD needed = 0;
    ::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<BYTE> descriptor(needed);
    if (needed == 0 ||
        !::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
        return {};
    return descriptor;
}

// The DACL as SDDL text ("D:NO_ACCESS_CONTROL" for a NULL DACL).
std::wstring DaclText(const std::wstring& path)
{
    std::vector<BYTE> descriptor = SecurityBytes(path);
    if (descriptor.empty()) return L"<no security: " + std::to_wstring(::GetLastError()) + L">";
    LPWSTR text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                                DACL_SECURITY_INFORMATION, &text, nullptr))
        return L"<unreadable>";
    const ScopeExit freeText([text] { ::LocalFree(text); });
    return text;
}

// What the DACL lets Everyone do: all with a NULL DACL, else what Everyone's
// allow entries grant minus what its deny entries took away first.
ACCESS_MASK EveryoneAccess(const std::wstring& path)
{
    std::vector<BYTE> descriptor = SecurityBytes(path);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (descriptor.empty() || !::GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted))
        return 0;
    if (!present || !dacl) return FILE_ALL_ACCESS;

    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD everyoneSize = sizeof(everyone);
    ::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize);
    ACCESS_MASK granted = 0;
    ACCESS_MASK denied = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            if (::EqualSid(&allowed->SidStart, everyone)) granted |= allowed->Mask & ~denied;
        } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* refused = static_cast<ACCESS_DENIED_ACE*>(ace);
            if (::EqualSid(&refused->SidStart, everyone)) denied |= refused->Mask & ~granted;
        }
    }
    return granted;
}

// Open access as far as it can be observed: Windows keeps the NULL DACL; Wine
// turns it into file modes and reports Everyone with generic write access.
bool EveryoneMayWrite(const std::wstring& path)
{
    return (EveryoneAccess(path) & FILE_GENERIC_WRITE) == FILE_GENERIC_WRITE;
}

#define EXPECT_OPEN_ACCESS(path, expected) ExpectOpenAccess(__FILE__, __LINE__, path, expected)
void ExpectOpenAccess(const char* file, int line, const std::wstring& path, bool expected)
{
    if (EveryoneMayWrite(path) != expected)
        ADD_FAILURE_AT(file, line) << "Everyone " << (expected ? "cannot" : "can") << " write to "
                                   << testing::PrintToString(path) << ", DACL "
                                   << testing::PrintToString(DaclText(path));
}

// A DACL under which only SYSTEM and the current user may change anything.
bool RestrictToReading(const std::wstring& path)
{
    UniqueHandleKernel token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) return false;
    LPWSTR user = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &user)) return false;
    const std::wstring userSid = user;
    ::LocalFree(user);

    const std::wstring everyoneReads = std::to_wstring(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
    const std::wstring sddl =
        L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;" + userSid + L")(A;OICI;" + everyoneReads + L";;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    const ScopeExit freeDescriptor([descriptor] { ::LocalFree(descriptor); });
    return ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor) != FALSE;
}

class FilesTest : public testing::Test {
protected:
    TempFolder temp_{L"files"};
};

enum class Existing { Nothing, Folder, File };

struct TreeCase {
    const char* what;
    Existing existing;
    const wchar_t* existingName;        // made before the call, relative to the temp folder
    const wchar_t* target;              // relative to the temp folder
    bool expected;
    std::vector<const wchar_t*> made;   // folders the call must have created
    std::vector<const wchar_t*> absent; // names that must still not exist
};

const std::string kFileBytes = "keep these bytes\r\n\x8f\xee\x95\xf1";

TEST_F(FilesTest, CreateFolderTreeMakesWhatIsMissingAndLeavesWhatExists)
{
    const TreeCase cases[] = {
        {"one missing folder", Existing::Nothing, nullptr, L"single", true, {L"single"}, {}},
        {"missing parents", Existing::Nothing, nullptr, L"a\\b\\c", true, {L"a", L"a\\b", L"a\\b\\c"}, {}},
        {"a parent exists", Existing::Folder, L"kept", L"kept\\new\\newer", true,
         {L"kept\\new", L"kept\\new\\newer"}, {}},
        {"an existing folder", Existing::Folder, L"kept", L"kept", true, {}, {}},
        {"a trailing backslash", Existing::Nothing, nullptr, L"a\\b\\", true, {L"a", L"a\\b"}, {}},
        {"an existing folder with a trailing backslash", Existing::Folder, L"kept", L"kept\\", true, {}, {}},
        // No folder stands there at the end, so the caller must not go on as if one did.
        {"an existing file", Existing::File, L"file.txt", L"file.txt", false, {}, {}},
        {"an existing file with a trailing backslash", Existing::File, L"file.txt", L"file.txt\\", false, {}, {}},
        {"below a file", Existing::File, L"file.txt", L"file.txt\\sub", false, {}, {L"file.txt\\sub"}},
    };
    int index = 0;
    for (const TreeCase& row : cases) {
        SCOPED_TRACE(row.what);
        // Each case in a folder of its own, which already exists.
        const std::wstring root = temp_ / std::to_wstring(++index);
        ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
        const auto at = [&root](const wchar_t* name) { return root + L"\\" + name; };
        std::wstring existingDacl;
        if (row.existing == Existing::Folder) {
            ASSERT_TRUE(::CreateDirectoryW(at(row.existingName).c_str(), nullptr));
            ASSERT_TRUE(RestrictToReading(at(row.existingName)));
            EXPECT_OPEN_ACCESS(at(row.existingName), false);
        } else if (row.existing == Existing::File) {
            ASSERT_TRUE(WriteBytes(at(row.existingName), kFileBytes));
        }
        if (row.existingName) existingDacl = DaclText(at(row.existingName));
        const std::wstring rootDacl = DaclText(root);

        EXPECT_EQ(CreateFolderTree(at(row.target)), row.expected);

        for (const wchar_t* name : row.made) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
            EXPECT_TRUE(IsDirectory(at(name)));
            EXPECT_OPEN_ACCESS(at(name), true);
        }
        for (const wchar_t* name : row.absent)
            EXPECT_EQ(::GetFileAttributesW(at(name).c_str()), INVALID_FILE_ATTRIBUTES)
                << testing::PrintToString(std::wstring(name));
        // What existed before keeps its security, and a file its bytes.
        EXPECT_EQ(DaclText(root), rootDacl);
        if (row.existingName) {
            EXPECT_EQ(DaclText(at(row.existingName)), existingDacl);
        }
        if (row.existing == Existing::File) {
            EXPECT_FALSE(IsDirectory(at(row.existingName)));
            EXPECT_EQ(ReadBytes(at(row.existingName)), kFileBytes);
        }
    }
}

TEST_F(FilesTest, CreateFolderTreeOfANameWithoutBackslashCreatesNothingAndReportsIt)
{
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(temp_.Path().c_str()));
    const ScopeExit restore([&previous] { ::SetCurrentDirectoryW(previous); });

    EXPECT_FALSE(CreateFolderTree(L"QXDIAG"));
    EXPECT_EQ(::GetFileAttributesW((temp_ / L"QXDIAG").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(CreateFolderTree(L""));
    ASSERT_TRUE(::CreateDirectoryW((temp_ / L"Log").c_str(), nullptr));
    EXPECT_TRUE(CreateFolderTree(L"Log")) << "an existing folder is looked at";
}

TEST_F(FilesTest, ApplyOpenAccessOpensFilesAndFoldersAndIgnoresMissingOnes)
{
    const std::wstring file = temp_ / L"QXDIAG.log";
    const std::wstring folder = temp_ / L"debug";
    ASSERT_TRUE(WriteBytes(file, kFileBytes));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    for (const std::wstring& path : {file, folder}) {
        ASSERT_TRUE(RestrictToReading(path));
        EXPECT_OPEN_ACCESS(path, false);
        ApplyOpenAccess(path);
        EXPECT_OPEN_ACCESS(path, true);
    }
    EXPECT_EQ(ReadBytes(file), kFileBytes);

    ApplyOpenAccess(temp_ / L"missing");
    EXPECT_EQ(::GetFileAttributesW((temp_ / L"missing").c_str()), INVALID_FILE_ATTRIBUTES);
}

// "C:\" and as many "x" as make `length` characters in all.
std::wstring PathOfLength(std::size_t length, wchar_t last = L'x')
{
    std::wstring path = L"C:\\" + std::wstring(length - 3, L'x');
    path.back() = last;
    return path;
}

struct JoinCase {
    std::wstring base;
    std::wstring name;
    std::wstring expected;
};

TEST(FilesPathTest, JoinPathPutsOneBackslashBetweenAndRefusesWhatPassesMaxPath)
{
    const std::wstring base250 = PathOfLength(250);
    const JoinCase cases[] = {
        {L"C:\\work", L"QXDIAG", L"C:\\work\\QXDIAG"},
        {L"C:\\work\\", L"QXDIAG", L"C:\\work\\QXDIAG"},
        {L"C:\\", L"QXDIAG", L"C:\\QXDIAG"},
        {L"\\\\server\\share", L"QXDIAG", L"\\\\server\\share\\QXDIAG"},
        {L"C:\\work\\QXDIAG", L"QXDIAG.log", L"C:\\work\\QXDIAG\\QXDIAG.log"},
        {base250, L"12345678", base250 + L"\\12345678"},  // 259 characters: the longest that fits
        {base250, L"123456789", L""},                     // 260
        {base250 + L"\\", L"123456789", L""},
        {PathOfLength(259), L"a", L""},
        {PathOfLength(300), L"a", L""},
        {L"C:\\work", std::wstring(300, L'n'), L""},
    };
    for (const JoinCase& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.base) + " + " + testing::PrintToString(row.name));
        EXPECT_EQ(JoinPath(row.base, row.name), row.expected);
    }
}

TEST(FilesPathTest, AddTrailingBackslashAddsOneAndRefusesWhatPassesMaxPath)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\work", L"C:\\work\\"},
        {L"C:\\work\\", L"C:\\work\\"},
        {L"C:\\", L"C:\\"},
        {PathOfLength(258), PathOfLength(258) + L"\\"},  // 259 characters: the longest that fits
        {PathOfLength(259, L'\\'), PathOfLength(259, L'\\')},
        {PathOfLength(259), L""},                        // would be 260
        {PathOfLength(260, L'\\'), L""},
        {PathOfLength(300), L""},
    };
    for (const auto& [path, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(path));
        EXPECT_EQ(AddTrailingBackslash(path), expected);
    }
}

// Installs a folder-picker seam for one test and restores the previous one.
class SeamGuard {
public:
    explicit SeamGuard(decltype(UiSeams::pickFolder) seam) : saved_(std::move(Seams().pickFolder))
    {
        Seams().pickFolder = std::move(seam);
    }
    ~SeamGuard() { Seams().pickFolder = std::move(saved_); }
    SeamGuard(const SeamGuard&) = delete;
    SeamGuard& operator=(const SeamGuard&) = delete;

private:
    decltype(UiSeams::pickFolder) saved_;
};

struct PickCase {
    const char* what;
    bool seamPicks;
    const wchar_t* seamWrites;
    const wchar_t* expectedFolder;
};

TEST(FilesPickerTest, TheSeamDecidesAndACancelLeavesTheFolderEmpty)
{
    const PickCase cases[] = {
        {"picked", true, L"D:\\picked", L"D:\\picked"},
        {"cancelled", false, L"", L""},
        {"cancelled after typing", false, L"D:\\typed", L""},
    };
    for (const PickCase& row : cases) {
        SCOPED_TRACE(row.what);
        HWND seenOwner = nullptr;
        std::wstring seenTitle;
        std::wstring folderOnEntry = L"<not called>";
        SeamGuard seam([&](HWND owner, const std::wstring& title, std::wstring& folder) {
            seenOwner = owner;
            seenTitle = title;
            folderOnEntry = folder;
            folder = row.seamWrites;
            return row.seamPicks;
        });
        const HWND owner = ::GetDesktopWindow();
        std::wstring folder = L"C:\\before";
        EXPECT_EQ(PickFolder(owner, L"出力先フォルダー", folder), row.seamPicks);
        EXPECT_EQ(folder, row.expectedFolder);
        EXPECT_EQ(folderOnEntry, L"");
        EXPECT_EQ(seenOwner, owner);
        EXPECT_EQ(seenTitle, L"出力先フォルダー");
    }
}

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<OwnedSearch*>(param);
    if (::GetWindow(hwnd, GW_OWNER) != search->owner || !::IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Drives the real picker from another thread, as a user would: waits for the
// dialog owned by `owner`, types `path` into the file name box (1152) and
// presses OK. Cancels a dialog that does not close, so that a test fails
// instead of hanging.
class PickerDriver {
public:
    PickerDriver(HWND owner, std::wstring path) : owner_(owner), path_(std::move(path)), thread_([this] { Run(); }) {}
    ~PickerDriver()
    {
        if (thread_.joinable()) thread_.join();
    }
    PickerDriver(const PickerDriver&) = delete;
    PickerDriver& operator=(const PickerDriver&) = delete;

    void Join() { thread_.join(); }
    const std::wstring& Title() const { return title_; }

private:
    void Run()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        OwnedSearch search{owner_, nullptr};
        while (!search.found && std::chrono::steady_clock::now() < deadline) {
            ::EnumWindows(FindOwnedWindow, reinterpret_cast<LPARAM>(&search));
            if (!search.found) ::Sleep(20);
        }
        const HWND dialog = search.found;
        if (!dialog) return;
        title_ = WindowText(dialog);
        ::SendMessageW(::GetDlgItem(dialog, 1152), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path_.c_str()));
        const HWND ok = ::GetDlgItem(dialog, IDOK);
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
        while (::IsWindow(dialog) && std::chrono::steady_clock::now() < deadline) ::Sleep(20);
        if (::IsWindow(dialog)) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }

    HWND owner_;
    std::wstring path_;
    std::wstring title_;
    std::thread thread_;
};

TEST(FilesPickerTest, TheRealDialogReturnsTheFolderTyped)
{
    SeamGuard seam(nullptr);
    TempFolder temp{L"picker"};
    UniqueHwnd owner(::CreateWindowExW(0, L"STATIC", L"QXDIAG picker owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                       400, 300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(owner);

    std::wstring folder = L"C:\\before";
    bool picked = false;
    std::wstring title;
    {
        PickerDriver driver(owner.get(), temp.Path());
        picked = PickFolder(owner.get(), L"出力先フォルダーの選択", folder);
        driver.Join();
        title = driver.Title();
    }
    EXPECT_EQ(title, L"出力先フォルダーの選択");
    EXPECT_TRUE(picked);
    EXPECT_EQ(folder, temp.Path());
}

}  // namespace
}  // namespace qx
