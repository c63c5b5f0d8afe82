// The debug-log clearing page (151) on the real registry, folders and
// processes: what it shows, the two questions, the values it deletes, the
// stand-ins of the product's programs it ends, the folder it deletes and the
// restart it asks for.

#include "files_fixture.h"
#include "process_fixture.h"
#include "platform/handles.h"
#include "registry_fixture.h"
#include "resource.h"
#include "settings/clear_collect_setting_page.h"
#include "settings_page_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::Box;
using test::Dword;
using test::Exists;
using test::ReadBytes;
using test::StoredDebugLogValues;
using test::StoredValue;
using test::Sz;
using test::TempFolder;
using test::WriteBytes;

constexpr wchar_t kClearQuestion[] = L"レジストリの設定を削除します。\nよろしいですか？";
constexpr wchar_t kRestartQuestion[] = L"ログの削除には再起動が必要です。\n再起動しますか？";
constexpr wchar_t kFolderInUse[] =
    L"他のプログラムがログファイルを使用しているためログフォルダーの削除ができませんでした。"
    L"再起動後にログフォルダーを削除してください。";

const std::vector<StoredValue> kNoValues(6, std::nullopt);

// Copies of a stand-in that only waits, running under the product's names and
// under one name that is not the product's.
class StandIns {
public:
    explicit StandIns(const std::wstring& folder)
    {
        wchar_t module[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring program = module;
        program = program.substr(0, program.rfind(L'\\')) + L"\\fakes\\fake_process.exe";
        for (const wchar_t* name : ProductProcessNames) product_.push_back(Start(program, folder, name));
        other_ = Start(program, folder, L"QXServer.exe");
    }
    ~StandIns()
    {
        for (const UniqueHandleKernel* process : All()) ::TerminateProcess(process->get(), 99);
        for (const UniqueHandleKernel* process : All()) ::WaitForSingleObject(process->get(), 5000);
    }
    StandIns(const StandIns&) = delete;
    StandIns& operator=(const StandIns&) = delete;

    // How many of the product's stand-ins ended with exit code 0 within a few seconds.
    int ProductEnded() const
    {
        int ended = 0;
        for (const UniqueHandleKernel& process : product_) ended += test::EndedWithCodeZero(process.get());
        return ended;
    }
    int ProductRunning() const
    {
        int running = 0;
        for (const UniqueHandleKernel& process : product_) running += Running(process);
        return running;
    }
    bool OtherRunning() const { return Running(other_); }

private:
    static bool Running(const UniqueHandleKernel& process) { return test::StillRunning(process.get()); }
    static UniqueHandleKernel Start(const std::wstring& program, const std::wstring& folder, const wchar_t* name)
    {
        return test::StartCopyOf(program, folder + L"\\" + name);
    }
    std::vector<const UniqueHandleKernel*> All() const
    {
        std::vector<const UniqueHandleKernel*> all{&other_};
        for (const UniqueHandleKernel& process : product_) all.push_back(&process);
        return all;
    }

    std::vector<UniqueHandleKernel> product_;
    UniqueHandleKernel other_;
};

class ClearCollectSettingPageTest : public test::SettingsPageTest {
protected:
    void SetUp() override
    {
        SettingsPageTest::SetUp();
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(folder_ + L"\\QXAgent_20261201.log", "log line\r\n"));
    }

    HWND Page() const { return PageWindow(IDD_CLEARCOLLECTSETTING_PAGE); }
    std::wstring Shown(int control) const { return Text(IDD_CLEARCOLLECTSETTING_PAGE, control); }
    void Tick(bool ticked) { ::CheckDlgButton(Page(), IDC_DELETE_LOGFOLDER, ticked ? BST_CHECKED : BST_UNCHECKED); }

    // What the setting page leaves, and a value of the product's that is no
    // setting of this page.
    void StoreEveryValue(const std::wstring& folder)
    {
        test::SetString(kProductKey, L"LogPath", folder);
        test::SetDword(kProductKey, L"LogLevel", 100);
        test::SetDword(kProductKey, L"LogType", 2);
        test::SetDword(kProductKey, L"LogDays", 30);
        test::SetDword(kLocalDumpsKey, L"DumpType", 2);
        test::SetString(kLocalDumpsKey, L"DumpFolder", folder);
        test::SetString(kProductKey, L"ServerPath", L"C:\\TOVRA\\Server");
    }
    std::vector<StoredValue> EveryValue(const std::wstring& folder) const
    {
        return {Sz(folder), Dword(100), Dword(2), Dword(30), Dword(2), Sz(folder)};
    }
    Box Question(const wchar_t* text) const { return Standard(text, MB_YESNO | MB_ICONQUESTION); }

    TempFolder temp_{L"clear-setting"};
    const std::wstring folder_ = temp_ / L"Log";
};

TEST_F(ClearCollectSettingPageTest, ShowsTheStoredNumbersOrTheirDefaultsAndTheFolder)
{
    struct ShowCase {
        const char* Name;
        std::optional<std::wstring> LogPath;
        test::Bytes LogLevel;
        DWORD LogLevelType;
        std::optional<DWORD> DumpType;
        std::wstring Folder;
        std::wstring LogLevelText;
        std::wstring DumpTypeText;
    };
    const ShowCase cases[] = {
        {"nothing stored", std::nullopt, {}, REG_NONE, std::nullopt, L"C:\\Log", L"LogLevel <REG_DWORD> 100",
         L"DumpType <REG_DWORD> 2"},
        {"LogLevel 5", L"D:\\ログ", test::DwordBytes(5), REG_DWORD, std::nullopt, L"D:\\ログ",
         L"LogLevel <REG_DWORD> 5", L"DumpType <REG_DWORD> 2"},
        {"LogLevel as a string", std::nullopt, test::StringBytes(L"5"), REG_SZ, 1, L"C:\\Log",
         L"LogLevel <REG_DWORD> 100", L"DumpType <REG_DWORD> 1"},
        {"signed", std::nullopt, test::DwordBytes(0xFFFFFFFF), REG_DWORD, 0x80000000, L"C:\\Log",
         L"LogLevel <REG_DWORD> -1", L"DumpType <REG_DWORD> -2147483648"},
    };
    for (const ShowCase& c : cases) {
        SCOPED_TRACE(c.Name);
        test::DeleteTree(kProductKey);
        test::DeleteTree(kLocalDumpsKey);
        if (c.LogPath) test::SetString(kProductKey, L"LogPath", *c.LogPath);
        if (c.LogLevelType != REG_NONE) test::SetValue(kProductKey, L"LogLevel", c.LogLevelType, c.LogLevel);
        if (c.DumpType) test::SetDword(kLocalDumpsKey, L"DumpType", *c.DumpType);
        Show(IDD_CLEARCOLLECTSETTING_PAGE);
        EXPECT_EQ(Shown(IDC_LOGFOLDER), c.Folder);
        EXPECT_EQ(Shown(IDC_LOGLEVEL_TEXT), c.LogLevelText);
        EXPECT_EQ(Shown(IDC_LOGTYPE_TEXT), L"LogType <REG_DWORD> 2");
        EXPECT_EQ(Shown(IDC_DUMPTYPE_TEXT), c.DumpTypeText);
    }
    test::SetDword(kProductKey, L"LogType", 3);
    Show(IDD_CLEARCOLLECTSETTING_PAGE);
    EXPECT_EQ(Shown(IDC_LOGTYPE_TEXT), L"LogType <REG_DWORD> 3");
}

TEST_F(ClearCollectSettingPageTest, DeleteCheckBoxStartsClearAndKeepsItsStateAcrossVisits)
{
    Show(IDD_CLEARCOLLECTSETTING_PAGE);
    EXPECT_EQ(::IsDlgButtonChecked(Page(), IDC_DELETE_LOGFOLDER), BST_UNCHECKED);
    ::SendDlgItemMessageW(Page(), IDC_DELETE_LOGFOLDER, BM_CLICK, 0, 0);
    Show(IDD_LOGSETTING_PAGE);
    Show(IDD_CLEARCOLLECTSETTING_PAGE);
    EXPECT_EQ(::IsDlgButtonChecked(Page(), IDC_DELETE_LOGFOLDER), BST_CHECKED);
}

TEST_F(ClearCollectSettingPageTest, NoToTheFirstQuestionChangesNothing)
{
    StoreEveryValue(folder_);
    const StandIns standIns(temp_.Path());
    Show(IDD_CLEARCOLLECTSETTING_PAGE);
    Tick(true);
    answers = {IDNO};

    EXPECT_FALSE(Click(IDC_APPLY));

    EXPECT_EQ(asked, (std::vector<Box>{Question(kClearQuestion)}));
    EXPECT_EQ(StoredDebugLogValues(), EveryValue(folder_));
    EXPECT_EQ(standIns.ProductRunning(), 6);
    EXPECT_TRUE(Exists(folder_));
    EXPECT_TRUE(restarts.empty());
    EXPECT_EQ(CurrentPageId(), IDD_CLEARCOLLECTSETTING_PAGE);
}

TEST_F(ClearCollectSettingPageTest, NoToTheRestartDeletesTheValuesButEndsNothingAndKeepsTheFolder)
{
    for (bool stored : {true, false}) {
        SCOPED_TRACE(stored ? "values stored" : "no values");
        asked.clear();
        test::DeleteTree(kProductKey);
        test::DeleteTree(kLocalDumpsKey);
        if (stored) StoreEveryValue(folder_);
        const StandIns standIns(temp_.Path());
        Show(IDD_CLEARCOLLECTSETTING_PAGE);
        Tick(true);
        answers = {IDYES, IDNO};

        EXPECT_FALSE(Click(IDC_APPLY));

        EXPECT_EQ(asked, (std::vector<Box>{Question(kClearQuestion), Question(kRestartQuestion)}));
        EXPECT_EQ(StoredDebugLogValues(), kNoValues);
        EXPECT_EQ(test::Stored(kProductKey, L"ServerPath").has_value(), stored) << "other values stay";
        EXPECT_EQ(standIns.ProductRunning(), 6);
        EXPECT_TRUE(Exists(folder_ + L"\\QXAgent_20261201.log"));
        EXPECT_TRUE(restarts.empty());
        EXPECT_EQ(CurrentPageId(), IDD_LOGSETTING_PAGE);
    }
}

TEST_F(ClearCollectSettingPageTest, YesToBothEndsTheProductsProgramsAndRestarts)
{
    StoreEveryValue(folder_);
    const StandIns standIns(temp_.Path());
    Show(IDD_CLEARCOLLECTSETTING_PAGE);
    answers = {IDYES, IDYES};

    EXPECT_TRUE(Click(IDC_APPLY)) << "the restart closes the main window";

    EXPECT_EQ(asked, (std::vector<Box>{Question(kClearQuestion), Question(kRestartQuestion)}));
    EXPECT_EQ(StoredDebugLogValues(), kNoValues);
    EXPECT_EQ(standIns.ProductEnded(), 6);
    EXPECT_TRUE(standIns.OtherRunning()) << "only the product's programs end";
    EXPECT_TRUE(Exists(folder_ + L"\\QXAgent_20261201.log")) << "the folder stays unless asked for";
    EXPECT_EQ(restarts, std::vector<test::RestartCall>{test::kPlainRestart});
    EXPECT_EQ(CurrentPageId(), IDD_LOGSETTING_PAGE);
}

TEST_F(ClearCollectSettingPageTest, TickedDeletesTheShownFolderBeforeTheRestartOrReportsWhatKeptIt)
{
    const std::wstring readOnly = temp_ / L"ReadOnly";
    ASSERT_TRUE(::CreateDirectoryW(readOnly.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(readOnly + L"\\locked.log", "log line\r\n"));
    ASSERT_TRUE(::SetFileAttributesW((readOnly + L"\\locked.log").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::CreateDirectoryW((folder_ + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(folder_ + L"\\sub\\QXArbiter.dmp", "dump"));
    struct TickedCase {
        const char* Name;
        std::wstring Folder;
        bool Deleted;
    };
    const TickedCase cases[] = {
        {"missing folder", temp_ / L"Missing", true},
        {"files and a sub-folder", folder_, true},
        {"a read-only file", readOnly, false},
    };
    for (const TickedCase& c : cases) {
        SCOPED_TRACE(c.Name);
        asked.clear();
        restarts.clear();
        StoreEveryValue(c.Folder);
        Show(IDD_CLEARCOLLECTSETTING_PAGE);
        Tick(true);
        answers = {IDYES, IDYES};

        const bool closing = Click(IDC_APPLY);

        EXPECT_EQ(StoredDebugLogValues(), kNoValues);
        std::vector<Box> expected{Question(kClearQuestion), Question(kRestartQuestion)};
        if (!c.Deleted) expected.push_back(Standard(kFolderInUse, MB_ICONEXCLAMATION));
        EXPECT_EQ(asked, expected);
        EXPECT_FALSE(Exists(c.Folder + L"\\sub"));
        EXPECT_EQ(Exists(c.Folder), !c.Deleted);
        EXPECT_EQ(restarts, c.Deleted ? std::vector<test::RestartCall>{test::kPlainRestart}
                                      : std::vector<test::RestartCall>{});
        EXPECT_EQ(closing, c.Deleted);
        EXPECT_EQ(CurrentPageId(), c.Deleted ? IDD_LOGSETTING_PAGE : IDD_CLEARCOLLECTSETTING_PAGE);
    }
    EXPECT_EQ(ReadBytes(readOnly + L"\\locked.log"), "log line\r\n");
}

TEST_F(ClearCollectSettingPageTest, TickedNeverFollowsADirectoryLinkInTheFolder)
{
    // Laid into the prefix by tests/machine/seed.
    const std::wstring folder = L"S:\\log-with-link";
    const std::wstring kept = L"S:\\link-target\\kept.txt";
    ASSERT_TRUE(::GetFileAttributesW((folder + L"\\linked-dir").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)
        << "the fake machine's seed makes the link";
    ASSERT_TRUE(WriteBytes(folder + L"\\QXAgent_20261201.log", "log line\r\n"));
    StoreEveryValue(folder);
    Show(IDD_CLEARCOLLECTSETTING_PAGE);
    Tick(true);
    answers = {IDYES, IDYES};

    Click(IDC_APPLY);

    EXPECT_EQ(ReadBytes(kept), "outside the log folder\r\n");
    EXPECT_FALSE(Exists(folder + L"\\QXAgent_20261201.log"));
    // Windows removes the link and restarts; Wine cannot remove a Unix link,
    // so the folder stays and the page says why.
    const bool removed = !Exists(folder);
    EXPECT_EQ(restarts.size(), removed ? 1u : 0u);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back() == Standard(kFolderInUse, MB_ICONEXCLAMATION), !removed);
}

}  // namespace
}  // namespace qx
