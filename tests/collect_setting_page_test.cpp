// The debug-log setting page (149) on the real registry and folders: what it
// shows, what "設定" writes and in which order it gives up, the folder it
// creates, the boxes it shows and the restart it asks for.

#include "files_fixture.h"
#include "registry_fixture.h"
#include "resource.h"
#include "settings/collect_setting_page.h"
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
using test::StoredDebugLogValues;
using test::StoredValue;
using test::Sz;
using test::TempFolder;

constexpr wchar_t kRestartQuestion[] = L"レジストリを設定しました。\n再起動しますか？";
constexpr wchar_t kDefaultFolder[] = L"C:\\Log";

class CollectSettingPageTest : public test::SettingsPageTest {
protected:
    HWND Page() const { return PageWindow(IDD_COLLECTSETTING_PAGE); }
    int Rotation() const { return static_cast<int>(::SendDlgItemMessageW(Page(), IDC_ROTATION, CB_GETCURSEL, 0, 0)); }
    void SelectRotation(int index)
    {
        ::SendDlgItemMessageW(Page(), IDC_ROTATION, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    std::wstring Shown(int control) const { return Text(IDD_COLLECTSETTING_PAGE, control); }
    void ResetRegistry()
    {
        test::DeleteTree(kProductKey);
        test::DeleteTree(kLocalDumpsKey);
    }

    TempFolder temp_{L"collect-setting"};
};

TEST_F(CollectSettingPageTest, ListsTheRotationPeriodsInTheirOrder)
{
    Show(IDD_COLLECTSETTING_PAGE);
    const wchar_t* expected[] = {L"過去2日間", L"過去7日間（初期値）", L"過去30日間", L"過去60日間", L"すべて"};
    ASSERT_EQ(::SendDlgItemMessageW(Page(), IDC_ROTATION, CB_GETCOUNT, 0, 0), 5);
    for (int i = 0; i < 5; ++i) {
        wchar_t item[64] = {};
        ::SendDlgItemMessageW(Page(), IDC_ROTATION, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        EXPECT_EQ(std::wstring(item), expected[i]) << i;
    }
}

TEST_F(CollectSettingPageTest, ShowsTheStoredFolderAndRotationAndTheNumbersItWillWrite)
{
    struct ShowCase {
        const char* Name;
        std::optional<std::wstring> LogPath;
        std::optional<DWORD> LogDays;
        std::wstring Folder;
        std::wstring Rotation;
    };
    const ShowCase cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, kDefaultFolder, L"過去7日間（初期値）"},
        {"2 days", L"D:\\TOVRA\\ログ", 2, L"D:\\TOVRA\\ログ", L"過去2日間"},
        {"7 days", std::nullopt, 7, kDefaultFolder, L"過去7日間（初期値）"},
        {"30 days", std::nullopt, 30, kDefaultFolder, L"過去30日間"},
        {"60 days", std::nullopt, 60, kDefaultFolder, L"過去60日間"},
        {"0 for all", std::nullopt, 0, kDefaultFolder, L"すべて"},
        {"14 is no item", std::nullopt, 14, kDefaultFolder, L"過去7日間（初期値）"},
    };
    for (const ShowCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetRegistry();
        // The texts show what "設定" writes, not what is stored.
        test::SetDword(kProductKey, L"LogLevel", 5);
        test::SetDword(kLocalDumpsKey, L"DumpType", 1);
        if (c.LogPath) test::SetString(kProductKey, L"LogPath", *c.LogPath);
        if (c.LogDays) test::SetDword(kProductKey, L"LogDays", *c.LogDays);
        SelectRotation(4);
        Show(IDD_COLLECTSETTING_PAGE);
        EXPECT_EQ(Shown(IDC_LOGFOLDER), c.Folder);
        EXPECT_EQ(Shown(IDC_ROTATION), c.Rotation);
        EXPECT_EQ(Shown(IDC_LOGLEVEL_TEXT), L"LogLevel <REG_DWORD> 100");
        EXPECT_EQ(Shown(IDC_LOGTYPE_TEXT), L"LogType <REG_DWORD> 2");
        EXPECT_EQ(Shown(IDC_DUMPTYPE_TEXT), L"DumpType <REG_DWORD> 2");
    }

    SCOPED_TRACE("LogDays as a string");
    test::SetString(kProductKey, L"LogDays", L"30");
    Show(IDD_COLLECTSETTING_PAGE);
    EXPECT_EQ(Rotation(), 1);
}

TEST_F(CollectSettingPageTest, ApplyWritesEveryValueCreatesTheFolderAndOffersARestart)
{
    struct ApplyCase {
        int Rotation;
        int Answer;
        DWORD LogDays;
    };
    const ApplyCase cases[] = {
        {4, IDNO, 0}, {0, IDYES, 2}, {1, IDNO, 7}, {2, IDNO, 30}, {3, IDYES, 60}, {-1, IDNO, 7},
    };
    for (const ApplyCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "rotation " << c.Rotation << ", answer " << c.Answer);
        ResetRegistry();
        asked.clear();
        restarts.clear();
        const std::wstring folder = temp_ / (L"Log" + std::to_wstring(c.Rotation + 1)) + L"\\ログ";
        test::SetString(kProductKey, L"LogPath", folder);
        Show(IDD_COLLECTSETTING_PAGE);
        SelectRotation(c.Rotation);
        answers = {c.Answer};

        const bool closing = Click(IDC_APPLY);

        EXPECT_EQ(StoredDebugLogValues(),
                  (std::vector<StoredValue>{Sz(folder), Dword(100), Dword(2), Dword(c.LogDays), Dword(2), Sz(folder)}));
        EXPECT_TRUE(Exists(folder));
        EXPECT_EQ(asked, (std::vector<Box>{Standard(kRestartQuestion, MB_YESNO | MB_ICONQUESTION)}));
        const bool restart = c.Answer == IDYES;
        EXPECT_EQ(restarts, restart ? std::vector<test::RestartCall>{test::kPlainRestart}
                                    : std::vector<test::RestartCall>{});
        EXPECT_EQ(closing, restart) << "an accepted restart closes the main window";
        EXPECT_EQ(CurrentPageId(), IDD_LOGSETTING_PAGE);
    }
}

TEST_F(CollectSettingPageTest, WithoutLogPathWritesAndCreatesTheDefaultFolder)
{
    const test::FolderMovedAside aside{kDefaultFolder};
    ASSERT_FALSE(Exists(kDefaultFolder));
    Show(IDD_COLLECTSETTING_PAGE);
    EXPECT_EQ(Shown(IDC_LOGFOLDER), kDefaultFolder);

    EXPECT_FALSE(Click(IDC_APPLY));

    EXPECT_EQ(StoredDebugLogValues(), (std::vector<StoredValue>{Sz(kDefaultFolder), Dword(100), Dword(2), Dword(7),
                                                                Dword(2), Sz(kDefaultFolder)}));
    EXPECT_TRUE(Exists(kDefaultFolder));
    EXPECT_EQ(asked, (std::vector<Box>{Standard(kRestartQuestion, MB_YESNO | MB_ICONQUESTION)}));
    EXPECT_TRUE(restarts.empty());
    EXPECT_EQ(CurrentPageId(), IDD_LOGSETTING_PAGE);
}

TEST_F(CollectSettingPageTest, PickedFolderReplacesTheShownOneUnlessItIsADriveRoot)
{
    HWND pickerOwner = nullptr;
    std::wstring pickerTitle;
    std::optional<std::wstring> picked;
    Seams().pickFolder = [&](HWND owner, const std::wstring& title, std::wstring& folder) {
        pickerOwner = owner;
        pickerTitle = title;
        folder = picked.value_or(L"");
        return picked.has_value();
    };
    const std::wstring chosen = temp_ / L"選んだ";
    struct PickCase {
        std::optional<std::wstring> Picked;
        bool Refused;
        std::wstring Shown;
    };
    const PickCase cases[] = {
        {std::nullopt, false, kDefaultFolder},
        {L"C:\\", true, kDefaultFolder},
        {L"Z:\\", true, kDefaultFolder},
        {L"C:\\Logs", false, L"C:\\Logs"},
        {L"Z:\\", true, L"C:\\Logs"},
        {chosen, false, chosen},
    };
    Show(IDD_COLLECTSETTING_PAGE);
    SelectRotation(3);
    for (const PickCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Picked.value_or(L"(cancelled)")));
        asked.clear();
        picked = c.Picked;
        Click(IDC_PICK_LOGFOLDER);
        EXPECT_EQ(pickerOwner, dlg.Handle());
        EXPECT_EQ(pickerTitle, L"保存先フォルダーを指定してください");
        EXPECT_EQ(asked, c.Refused ? std::vector<Box>{Standard(L"ルートディレクトリは指定できません。",
                                                               MB_ICONEXCLAMATION)}
                                   : std::vector<Box>{});
        EXPECT_EQ(Shown(IDC_LOGFOLDER), c.Shown);
        EXPECT_EQ(Rotation(), 3) << "the choice made on the page stays";
        EXPECT_EQ(CurrentPageId(), IDD_COLLECTSETTING_PAGE);
    }

    asked.clear();
    Click(IDC_APPLY);
    EXPECT_EQ(StoredDebugLogValues(),
              (std::vector<StoredValue>{Sz(chosen), Dword(100), Dword(2), Dword(60), Dword(2), Sz(chosen)}));
    EXPECT_TRUE(Exists(chosen));

    SCOPED_TRACE("a folder picked but not applied is lost on leaving");
    test::SetString(kProductKey, L"LogPath", L"C:\\Logs");
    Show(IDD_COLLECTSETTING_PAGE);
    picked = temp_ / L"not-applied";
    Click(IDC_PICK_LOGFOLDER);
    Show(IDD_LOGSETTING_PAGE);
    Show(IDD_COLLECTSETTING_PAGE);
    EXPECT_EQ(Shown(IDC_LOGFOLDER), L"C:\\Logs");
}

TEST_F(CollectSettingPageTest, RegistryFailureStopsAtTheFirstFailingStepAndKeepsWhatWasWritten)
{
    struct FailCase {
        const char* Name;
        // Made volatile, so that no lasting key can be created below it.
        const wchar_t* VolatileParent;
        std::vector<StoredValue> Left;
    };
    const std::wstring folder = temp_ / L"Log";
    const FailCase cases[] = {
        {"LocalDumps cannot be created",
         L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting",
         {Sz(folder), Dword(100), Dword(2), std::nullopt, std::nullopt, std::nullopt}},
        {"the product key cannot be created",
         L"SOFTWARE\\Orvek",
         {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetRegistry();
        asked.clear();
        const test::MovedAside parentAside({c.VolatileParent});
        UniqueHkey parent;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, c.VolatileParent, 0, nullptr, REG_OPTION_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, parent.put(), nullptr),
                  ERROR_SUCCESS);
        parent.reset();
        Show(IDD_COLLECTSETTING_PAGE);
        ::SetDlgItemTextW(Page(), IDC_LOGFOLDER, folder.c_str());

        EXPECT_FALSE(Click(IDC_APPLY));

        EXPECT_EQ(StoredDebugLogValues(), c.Left);
        EXPECT_EQ(asked, (std::vector<Box>{Standard(L"レジストリの設定に失敗しました。", MB_ICONHAND)}));
        EXPECT_FALSE(Exists(folder)) << "no folder after a registry failure";
        EXPECT_TRUE(restarts.empty());
        EXPECT_EQ(CurrentPageId(), IDD_COLLECTSETTING_PAGE);
    }
}

TEST_F(CollectSettingPageTest, FolderThatCannotBeCreatedIsReportedAfterEveryValueWasWritten)
{
    const std::wstring folder = test::MissingDrive() + L"\\Log";
    test::SetString(kProductKey, L"LogPath", folder);
    test::SetDword(kProductKey, L"LogDays", 30);
    Show(IDD_COLLECTSETTING_PAGE);

    EXPECT_FALSE(Click(IDC_APPLY));

    EXPECT_EQ(StoredDebugLogValues(),
              (std::vector<StoredValue>{Sz(folder), Dword(100), Dword(2), Dword(30), Dword(2), Sz(folder)}));
    EXPECT_EQ(asked, (std::vector<Box>{{L"出力先への書き込みに失敗しました。書き込み権限を確認してください。",
                                        L"TOVRA DIAG - 保存", MB_ICONINFORMATION, nullptr}}));
    EXPECT_TRUE(restarts.empty());
    EXPECT_EQ(CurrentPageId(), IDD_COLLECTSETTING_PAGE);
}

}  // namespace
}  // namespace qx
