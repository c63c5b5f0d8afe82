// Paths from the registry that would turn the elevated tool against the
// machine: log folders it must not delete, links inside the walk, plants that
// the Vorlix pages must not start, names that are files. Every case that could
// delete, rename or start something aims at the scratch drive S: of the fake
// machine (a folder of the prefix, made the current drive first), so that a
// broken guard harms nothing; each checks what survives byte for byte.

#include "files_fixture.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/processes.h"
#include "process_fixture.h"
#include "registry_fixture.h"
#include "resource.h"
#include "settings/settings_journal.h"
#include "settings_page_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::Box;
using test::Exists;
using test::ReadBytes;
using test::WriteBytes;

constexpr wchar_t kScratchMarker[] = L"S:\\qxdiag-scratch-drive.txt";
constexpr wchar_t kWork[] = L"S:\\work";
constexpr wchar_t kClearQuestion[] = L"レジストリの設定を削除します。\nよろしいですか？";
constexpr wchar_t kRestartQuestion[] = L"ログの削除には再起動が必要です。\n再起動しますか？";
constexpr wchar_t kFolderInUse[] =
    L"他のプログラムがログファイルを使用しているためログフォルダーの削除ができませんでした。"
    L"再起動後にログフォルダーを削除してください。";
constexpr wchar_t kOutputWriteFailed[] = L"出力先への書き込みに失敗しました。書き込み権限を確認してください。";
constexpr wchar_t kSaveCaption[] = L"TOVRA DIAG - 保存";
constexpr wchar_t kNotInstalled[] = L"Vorlixがインストールされていません。";

std::wstring Refused(const std::wstring& folder, const wchar_t* reason)
{
    return L"ログフォルダー「" + folder + L"」は削除できません。\n" + reason +
           L"\nフォルダーを確認し、必要であれば手動で削除してください。";
}
constexpr wchar_t kNotFullPath[] = L"ドライブ名から始まるフォルダーのパスではありません。";
constexpr wchar_t kDriveRoot[] = L"ドライブのルートディレクトリです。";
constexpr wchar_t kNetworkOrDevice[] = L"ネットワークまたはデバイスのパスです。";
constexpr wchar_t kVariable[] = L"展開されていない環境変数（%）が含まれています。";
constexpr wchar_t kCharacter[] = L"フォルダー名に使用できない文字が含まれています。";
constexpr wchar_t kWindowsFolder[] = L"Windowsが使用するフォルダー、またはそれを含むフォルダーです。";
constexpr wchar_t kLink[] = L"フォルダーまたはその上位のフォルダーがリンク（ジャンクション、シンボリックリンク）です。";

// Everything below `folder`: files with their bytes, folders as "<folder>",
// links as "<link>" and never entered.
using Tree = std::map<std::wstring, std::string>;
void Snapshot(const std::wstring& folder, Tree& tree)
{
    WIN32_FIND_DATAW found;
    UniqueHandleFind find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            tree[path] = "<link>";
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[path] = "<folder>";
            Snapshot(path, tree);
        } else {
            tree[path] = ReadBytes(path);
        }
    } while (::FindNextFileW(find.get(), &found));
}
Tree ScratchDrive()
{
    Tree tree;
    Snapshot(L"S:", tree);
    return tree;
}

// The scratch drive as the current drive and folder, S:\work emptied first;
// the earlier current folder comes back afterwards.
class ScratchDriveTest : public test::SettingsPageTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ReadBytes(kScratchMarker), "qxdiag scratch drive\r\n") << "S: must be the fake machine's scratch drive";
        ::GetCurrentDirectoryW(MAX_PATH, previous_);
        test::TempFolder::RemoveTree(kWork);
        ASSERT_TRUE(::CreateDirectoryW(kWork, nullptr));
        ASSERT_TRUE(::SetCurrentDirectoryW(kWork));
        SettingsPageTest::SetUp();
    }
    void TearDown() override
    {
        SettingsPageTest::TearDown();
        ::SetCurrentDirectoryW(previous_);
        test::TempFolder::RemoveTree(kWork);
        ::CreateDirectoryW(kWork, nullptr);
    }

    // A log folder with a file and a sub-folder; its path.
    static std::wstring MakeLogFolder(const std::wstring& folder)
    {
        EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << ::GetLastError();
        EXPECT_TRUE(WriteBytes(folder + L"\\QXAgent_20261201.log", "log line\r\n"));
        EXPECT_TRUE(::CreateDirectoryW((folder + L"\\sub").c_str(), nullptr));
        EXPECT_TRUE(WriteBytes(folder + L"\\sub\\b.txt", "trace\r\n"));
        return folder;
    }

    // Page 151 with "LogPath" = `logPath`, 1050 ticked and Yes to both questions.
    void ClearWithFolderDeletion(const std::wstring& logPath)
    {
        test::SetString(kProductKey, L"LogPath", logPath);
        Show(IDD_CLEARCOLLECTSETTING_PAGE);
        ::CheckDlgButton(PageWindow(IDD_CLEARCOLLECTSETTING_PAGE), IDC_DELETE_LOGFOLDER, BST_CHECKED);
        answers = {IDYES, IDYES};
        Click(IDC_APPLY);
    }

private:
    wchar_t previous_[MAX_PATH] = {};
};

// --- Page 151: "LogPath" names what must not go ----------------------------------

struct LogPathCase {
    const wchar_t* LogPath;
    // The last box: a refusal with this reason, or 202 when it is null.
    const wchar_t* Reason;
};

TEST_F(ScratchDriveTest, ClearingPageDeletesNothingThatIsNoLogFolder)
{
    const LogPathCase cases[] = {
        {L"S:\\", kDriveRoot},
        {L"S:", kNotFullPath},
        {L"\\", kNotFullPath},
        {L"S:\\work\\..", kDriveRoot},
        {L"S:\\work\\Log\\..\\..", kDriveRoot},
        {L"Log", kNotFullPath},
        {L".", kNotFullPath},
        {L"\\work\\Log", kNotFullPath},
        {L"\\\\server\\share\\x", kNetworkOrDevice},
        {L"\\\\?\\S:\\work\\Log", kNetworkOrDevice},
        {L"\\\\.\\S:\\work\\Log", kNetworkOrDevice},
        {L"S:\\work\\Log\\CON", kNetworkOrDevice},
        {L"%SystemDrive%\\Log", kVariable},
        {L"S:\\work\\%TEMP%", kVariable},
        // The message names the folder as it is: a "%s" in it takes nothing of the reason.
        {L"S:\\work\\%s", kVariable},
        {L"S:\\work\\Log::$INDEX_ALLOCATION", kCharacter},
        {L"S:\\work\\Lo*", kCharacter},
        {L"S:\\linked-parent\\Log", kLink},
        {L"S:\\links\\dir-link", kLink},
        // A file where the folder should be cannot be listed, but it is there.
        {L"S:\\work\\Log.txt", nullptr},
    };
    // What a broken guard would reach: the current folder, a log folder
    // in it, a folder named like the unexpanded variable, a file of the name.
    MakeLogFolder(L"S:\\work\\Log");
    ASSERT_TRUE(::CreateDirectoryW(L"S:\\work\\%SystemDrive%", nullptr));
    MakeLogFolder(L"S:\\work\\%SystemDrive%\\Log");
    ASSERT_TRUE(WriteBytes(L"S:\\work\\Log.txt", "a file, not a folder\r\n"));
    const Tree before = ScratchDrive();
    ASSERT_EQ(before.at(L"S:\\outside\\kept.txt"), "outside every log folder\r\n");
    ASSERT_EQ(before.at(L"S:\\linked-parent"), "<link>");

    for (const LogPathCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.LogPath)));
        asked.clear();
        restarts.clear();

        ClearWithFolderDeletion(c.LogPath);

        const std::wstring last = c.Reason ? Refused(c.LogPath, c.Reason) : kFolderInUse;
        EXPECT_EQ(asked, (std::vector<Box>{Standard(kClearQuestion, MB_YESNO | MB_ICONQUESTION),
                                           Standard(kRestartQuestion, MB_YESNO | MB_ICONQUESTION),
                                           Standard(last, MB_ICONEXCLAMATION)}));
        EXPECT_TRUE(restarts.empty());
        EXPECT_EQ(CurrentPageId(), IDD_CLEARCOLLECTSETTING_PAGE);
        EXPECT_EQ(ScratchDrive(), before);
        EXPECT_EQ(ReadBytes(L"S:\\outside-parent\\Log\\kept.log"), "below a linked parent\r\n");
    }
}

// --- The folder check alone: the folders Windows needs ----------------------------

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    EXPECT_TRUE(length > 0 && length < MAX_PATH) << testing::PrintToString(std::wstring(name));
    return value;
}

std::wstring ShortForm(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : path;
}

TEST(FolderTreeDeletionRefusal, RefusesTheFoldersWindowsNeedAndWhatHoldsThem)
{
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring profile = Environment(L"USERPROFILE");
    const std::wstring users = profile.substr(0, profile.rfind(L'\\'));
    const std::wstring programData = Environment(L"ProgramData");
    const std::wstring programFiles = Environment(L"ProgramFiles");

    const struct {
        std::wstring Path;
        FolderRefusal Expected;
    } cases[] = {
        {windows, FolderRefusal::WindowsFolder},
        {std::wstring(windows) + L"\\", FolderRefusal::WindowsFolder},
        {std::wstring(windows) + L"\\System32", FolderRefusal::WindowsFolder},
        {L"c:\\WINDOWS\\.\\", FolderRefusal::WindowsFolder},
        {users, FolderRefusal::WindowsFolder},
        {profile, FolderRefusal::WindowsFolder},
        {programData, FolderRefusal::WindowsFolder},
        {programFiles, FolderRefusal::WindowsFolder},
        {ShortForm(programFiles), FolderRefusal::WindowsFolder},
        {L"C:\\", FolderRefusal::DriveRoot},
        {L"C:\\Log\\..", FolderRefusal::DriveRoot},
        {L"C:", FolderRefusal::NotFullPath},
        {L"", FolderRefusal::NotFullPath},
        // Below those folders, and beside them, a log folder may be deleted.
        {programData + L"\\Orvek\\TOVRA\\Log", FolderRefusal::None},
        {profile + L"\\AppData\\Local\\Temp\\Log", FolderRefusal::None},
        {std::wstring(windows) + L"Log", FolderRefusal::None},
        {L"C:\\Log", FolderRefusal::None},
        {L"S:\\work\\Log", FolderRefusal::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderTreeDeletionRefusal(c.Path), c.Expected) << testing::PrintToString(c.Path);
    }
}

// --- Links during the walk and programs that hold their logs ---------------------

TEST_F(ScratchDriveTest, ASubFolderSwappedForALinkDuringTheWalkIsNotEntered)
{
    const std::wstring log = MakeLogFolder(L"S:\\work\\Log");
    bool swapped = false;
    TheFolderDeleteSeam().afterListing = [&swapped] {
        if (swapped) return;
        swapped = true;
        EXPECT_TRUE(::MoveFileW(L"S:\\work\\Log\\sub", L"S:\\work\\sub-away")) << ::GetLastError();
        // Wine would move a link's target, not the link: it is made in place.
        EXPECT_TRUE(test::MakeUnixLink("../../outside", L"S:\\work\\Log\\sub"));
        const DWORD attributes = ::GetFileAttributesW(L"S:\\work\\Log\\sub");
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
    };
    const ScopeExit forgetSeam([] { TheFolderDeleteSeam() = {}; });

    const bool removed = DeleteFolderTree(log);

    EXPECT_TRUE(swapped);
    EXPECT_EQ(ReadBytes(L"S:\\outside\\kept.txt"), "outside every log folder\r\n");
    Tree outside;
    Snapshot(L"S:\\outside", outside);
    EXPECT_EQ(outside, (Tree{{L"S:\\outside\\kept.txt", "outside every log folder\r\n"}}));
    EXPECT_EQ(ReadBytes(L"S:\\work\\sub-away\\b.txt"), "trace\r\n") << "moved out of the walk";
    EXPECT_FALSE(Exists(log + L"\\QXAgent_20261201.log"));
    // Windows removes the link as a link; Wine cannot remove a Unix link, and it keeps the folder.
    EXPECT_EQ(removed, !Exists(log));
}

std::wstring FakeProcessProgram()
{
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path = module;
    return path.substr(0, path.rfind(L'\\')) + L"\\fakes\\fake_process.exe";
}

// Whether another program holds `file` so that it cannot be deleted.
bool HeldAgainstDeletion(const std::wstring& file)
{
    UniqueHandleFile handle(::CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    return !handle && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

TEST_F(ScratchDriveTest, TheProductsProgramsEndBeforeTheirLogFolderIsDeleted)
{
    const std::wstring log = MakeLogFolder(L"S:\\work\\Log");
    const std::wstring held = log + L"\\agent.log";
    test::StartedProcesses started;
    ASSERT_TRUE(::CopyFileW(FakeProcessProgram().c_str(), L"S:\\work\\QXAgent.exe", FALSE));
    const HANDLE agent = started.Add(test::StartStandIn(L"S:\\work\\QXAgent.exe", L"--hold \"" + held + L"\""));
    for (int wait = 0; wait < 100 && !HeldAgainstDeletion(held); ++wait) ::Sleep(50);
    ASSERT_TRUE(HeldAgainstDeletion(held)) << "the stand-in holds its log";
    // Deleting first fails while the program runs: the order is observable.
    EXPECT_FALSE(DeleteFolderTree(log));
    EXPECT_TRUE(Exists(held));
    const Tree before = ScratchDrive();

    ClearWithFolderDeletion(log);

    EXPECT_TRUE(test::EndedWithCodeZero(agent));
    EXPECT_EQ(asked, (std::vector<Box>{Standard(kClearQuestion, MB_YESNO | MB_ICONQUESTION),
                                       Standard(kRestartQuestion, MB_YESNO | MB_ICONQUESTION)}));
    EXPECT_EQ(restarts, std::vector<test::RestartCall>{test::kPlainRestart});
    EXPECT_FALSE(Exists(log));
    Tree expected;
    for (const auto& [path, bytes] : before) {
        if (path != log && path.rfind(log + L"\\", 0) != 0) expected[path] = bytes;
    }
    EXPECT_EQ(ScratchDrive(), expected);
}

// --- A file where a folder should be made ----------------------------------------

TEST_F(ScratchDriveTest, AFileNamedLikeTheLogFolderStopsThePagesThatCreateIt)
{
    const std::wstring file = L"S:\\work\\Log";
    ASSERT_TRUE(WriteBytes(file, "a file, not a folder\r\n"));
    const test::MovedAside vorlixKeys{{kRunKey, kVorlixClientKey}};
    test::CreateKey(kRunKey);
    ASSERT_TRUE(::CreateDirectoryW(L"S:\\work\\Vorlix", nullptr));
    ASSERT_TRUE(WriteBytes(L"S:\\work\\Vorlix\\VorlixLog.exe", "only looked at\r\n"));
    test::SetString(kVorlixClientKey, L"Install", L"S:\\work\\Vorlix\\");
    const Box writeFailed{kOutputWriteFailed, kSaveCaption, MB_ICONINFORMATION, nullptr};

    for (const int pageId : {IDD_COLLECTSETTING_PAGE, IDD_COLLECTVLXLOG_PAGE}) {
        SCOPED_TRACE(pageId);
        asked.clear();
        test::SetString(kProductKey, L"LogPath", file);
        Show(pageId);
        answers = {IDYES};
        Click(IDC_APPLY);

        EXPECT_EQ(asked, std::vector<Box>{writeFailed}) << "no restart is offered";
        EXPECT_TRUE(restarts.empty());
        EXPECT_EQ(CurrentPageId(), pageId);
        EXPECT_EQ(ReadBytes(file), "a file, not a folder\r\n");
    }
}

// --- Page 155 without an install folder: plants are never started -------------

std::wstring VorlixStandIn()
{
    const std::wstring program = FakeProcessProgram();
    return program.substr(0, program.rfind(L'\\')) + L"\\vorlix_client.exe";
}

std::wstring ModuleFolder()
{
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path = module;
    return path.substr(0, path.rfind(L'\\'));
}

TEST_F(ScratchDriveTest, StopWithoutAnInstallFolderRenamesAndStartsNothing)
{
    const test::MovedAside vorlixKeys{{kVorlixClientKey}};
    const std::string plant = ReadBytes(VorlixStandIn());
    ASSERT_FALSE(plant.empty());
    // Planted in the working folder and beside the tool, where a search would look.
    const std::vector<std::wstring> folders{kWork, ModuleFolder()};
    const wchar_t* const names[] = {L"Vorlix.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe",
                                    L"vlxExtension.exe.org"};
    std::vector<std::wstring> planted;
    const ScopeExit removePlants([&planted] {
        for (const wchar_t* name : {L"Vorlix.exe", L"VorlixLog.exe"}) TerminateProcessesByName(name);
        for (const std::wstring& path : planted) ::DeleteFileW(path.c_str());
    });
    for (const std::wstring& folder : folders) {
        for (const wchar_t* name : names) {
            planted.push_back(folder + L"\\" + name);
            ASSERT_TRUE(WriteBytes(planted.back(), plant));
        }
        planted.push_back(folder + L"\\vorlix-trace.txt");
        ASSERT_FALSE(Exists(planted.back()));
    }
    const Tree before = ScratchDrive();

    for (const bool emptyValue : {false, true}) {
        SCOPED_TRACE(emptyValue ? "Install empty" : "Install absent");
        if (emptyValue) test::SetString(kVorlixClientKey, L"Install", L"");
        asked.clear();
        Show(IDD_VLXLOGEXEC_PAGE);
        Click(IDC_VLX_STOP);

        EXPECT_EQ(asked, std::vector<Box>{Standard(kNotInstalled, MB_OK | MB_ICONEXCLAMATION)});
        ::Sleep(500);
        for (const std::wstring& folder : folders) {
            EXPECT_FALSE(Exists(folder + L"\\vorlix-trace.txt")) << "a plant ran in " << testing::PrintToString(folder);
            for (const wchar_t* name : names) EXPECT_EQ(ReadBytes(folder + L"\\" + name), plant);
        }
        EXPECT_EQ(ScratchDrive(), before);
    }
}

// --- "Install" without its trailing backslash, on the fake machine --------------

constexpr wchar_t kFakeInstall[] = L"C:\\Program Files\\Orvek\\Vorlix";

TEST_F(ScratchDriveTest, AnInstallFolderWithoutItsBackslashWorksOnEveryVorlixPage)
{
    const test::MovedAside vorlixKeys{{kRunKey, kVorlixClientKey}};
    test::CreateKey(kRunKey);
    test::SetString(kVorlixClientKey, L"Install", kFakeInstall);
    const std::wstring install = std::wstring(kFakeInstall) + L"\\";
    const std::wstring trace = install + L"vorlix-trace.txt";
    ASSERT_FALSE(Exists(trace));
    const ScopeExit cleanUp([&trace] {
        for (const wchar_t* name : {L"Vorlix.exe", L"VorlixLog.exe"}) TerminateProcessesByName(name);
        ::DeleteFileW(trace.c_str());
    });
    Tree original;
    Snapshot(kFakeInstall, original);
    for (const wchar_t* name : {L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe"}) {
        ASSERT_TRUE(original.count(install + name)) << "the fake machine's client";
    }
    const auto runValue = [] { return test::Stored(kRunKey, L"Vorlix"); };

    answers = {IDNO};
    Show(IDD_COLLECTVLXLOG_PAGE);
    Click(IDC_APPLY);
    EXPECT_EQ(runValue(), test::Sz(L"\"" + install + L"VorlixLog.exe\""));
    // Without the journal's record of the value, 205 writes the joined path too.
    test::DeleteTree(kToolKey);
    answers = {IDNO};
    Show(IDD_CLEARCOLLECTVLXLOG_PAGE);
    Click(IDC_APPLY);
    EXPECT_EQ(runValue(), test::Sz(L"\"" + install + L"Vorlix.exe\""));

    Show(IDD_VLXLOGEXEC_PAGE);
    Click(IDC_VLX_EXEC);
    EXPECT_TRUE(Exists(install + L"vlxExtension.exe.org"));
    EXPECT_FALSE(Exists(install + L"vlxExtensionLog.exe"));
    for (int wait = 0; wait < 100 && ReadBytes(trace).empty(); ++wait) ::Sleep(50);
    EXPECT_EQ(ReadBytes(trace).substr(0, 14), "VorlixLog.exe ");
    Click(IDC_VLX_STOP);
    for (int wait = 0; wait < 100 && ReadBytes(trace).find("\nVorlix.exe ") == std::string::npos; ++wait) ::Sleep(50);
    EXPECT_NE(ReadBytes(trace).find("\nVorlix.exe "), std::string::npos);

    const std::wstring started = L"調査用Vorlixを起動しました。";
    const std::wstring stopped = L"調査用Vorlixを終了しました";
    const std::wstring restart = L"レジストリを設定しました。\n再起動しますか？";
    EXPECT_EQ(asked, (std::vector<Box>{Standard(restart, MB_YESNO | MB_ICONQUESTION),
                                       Standard(restart, MB_YESNO | MB_ICONQUESTION),
                                       Standard(started, MB_ICONINFORMATION), Standard(stopped, MB_ICONINFORMATION)}));
    Tree after;
    Snapshot(kFakeInstall, after);
    after.erase(trace);
    EXPECT_EQ(after, original) << "Start and Stop leave the folder as it was";
}

}  // namespace
}  // namespace qx
