// The journal of the tool's own changes, on the real registry: switching on
// and off again (149 then 151, 204 then 205, 1045 then 1046) leaves every key
// and value exactly as the customer had it, with its type and data; a journal
// that cannot be written stops a change before anything is touched; the
// journal shows in a collection's registry text.

#include "collectors/registry_export.h"
#include "files_fixture.h"
#include "registry_fixture.h"
#include "resource.h"
#include "settings/settings_journal.h"
#include "settings_page_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::Box;
using test::Dword;
using test::StoredValue;
using test::Sz;

constexpr wchar_t kSetFailed[] = L"レジストリの設定に失敗しました。";

// Every value of a key with its type and data; nothing when the key is missing.
using KeyState = std::optional<std::map<std::wstring, StoredValue>>;
KeyState State(const std::wstring& key)
{
    if (!test::KeyExists(key)) return std::nullopt;
    std::map<std::wstring, StoredValue> values;
    for (const std::wstring& name : test::EnumeratedValueNames(key)) values[name] = test::Stored(key, name);
    return values;
}


// "YYYY/MM/DD" of today in UTC; the tests run in Japan's time zone.
std::wstring TodayInUtc()
{
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    wchar_t text[16] = {};
    std::swprintf(text, std::size(text), L"%04u/%02u/%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

class SettingsJournalTest : public test::SettingsPageTest {
protected:
    void SetUp() override
    {
        SettingsPageTest::SetUp();
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override
    {
        test::TempFolder::RemoveTree(folder_);
        SettingsPageTest::TearDown();
    }

    // 149's "設定" with the folder it shows, No to the restart.
    void SwitchOn()
    {
        Show(IDD_COLLECTSETTING_PAGE);
        answers = {IDNO};
        Click(IDC_APPLY);
    }
    // 151's "設定": Yes to deleting, No to the restart.
    void SwitchOff()
    {
        Show(IDD_CLEARCOLLECTSETTING_PAGE);
        answers = {IDYES, IDNO};
        Click(IDC_APPLY);
    }
    std::wstring Note() const { return Text(IDD_CLEARCOLLECTSETTING_PAGE, IDC_JOURNAL_NOTE); }

    const test::MovedAside vorlixKeys_{{kRunKey, kVorlixClientKey, kEdgePolicyKey}};
    const test::TempFolder folderParent_{L"journal"};
    const std::wstring folder_ = folderParent_ / L"Log";
};

TEST_F(SettingsJournalTest, SwitchingOnAndOffPutsTheCustomersOwnValuesBackExactly)
{
    const struct {
        const char* Name;
        bool ProductKey;
        bool LocalDumpsKey;
        int TimesOn;
    } cases[] = {
        {"the customer's own values", true, true, 1},
        {"the customer's own values, switched on twice", true, true, 2},
        {"no values and no LocalDumps key", true, false, 1},
        {"neither key", false, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        test::DeleteTree(kProductKey);
        test::DeleteTree(kLocalDumpsKey);
        if (c.ProductKey) {
            test::SetString(kProductKey, L"InstallPath", L"C:\\Program Files\\Orvek\\TOVRA\\");
            test::SetDword(kProductKey, L"LogLevel", 3);
            test::SetString(kProductKey, L"LogPath", folder_);
        }
        if (c.LocalDumpsKey) {
            test::SetDword(kLocalDumpsKey, L"DumpType", 1);
            test::SetValue(kLocalDumpsKey, L"DumpFolder", REG_EXPAND_SZ, test::StringBytes(L"%LOCALAPPDATA%\\CrashDumps"));
            test::SetDword(kLocalDumpsKey, L"DumpCount", 10);
        }
        const KeyState product = State(kProductKey);
        const KeyState dumps = State(kLocalDumpsKey);
        EXPECT_EQ(Note(), L"");

        for (int i = 0; i < c.TimesOn; ++i) SwitchOn();
        ASSERT_EQ(test::Stored(kLocalDumpsKey, L"DumpType"), Dword(2)) << "switched on";
        EXPECT_TRUE(test::KeyExists(kJournalKey));
        Show(IDD_CLEARCOLLECTSETTING_PAGE);
        const std::optional<JournalEntry> entry = JournalEntryOf(ProductSetting::DumpType);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->PageId, IDD_COLLECTSETTING_PAGE);
        EXPECT_EQ(entry->Recorded.substr(0, 10), TodayInUtc()) << "recorded in UTC";
        EXPECT_EQ(Note(), L"・記録された元の設定（" + entry->Recorded.substr(0, 16) + L" UTC）に戻します。");
        asked.clear();
        SwitchOff();

        EXPECT_EQ(asked, (std::vector<Box>{
                             Standard(L"レジストリの設定を削除します。\nよろしいですか？", MB_YESNO | MB_ICONQUESTION),
                             Standard(L"ログの削除には再起動が必要です。\n再起動しますか？", MB_YESNO | MB_ICONQUESTION)}));
        EXPECT_EQ(State(kProductKey), product);
        EXPECT_EQ(State(kLocalDumpsKey), dumps) << "a key that was not there is not left to switch dumps on";
        EXPECT_FALSE(test::KeyExists(kToolKey)) << "nothing is left to put back";
        Show(IDD_CLEARCOLLECTSETTING_PAGE);
        EXPECT_EQ(Note(), L"");
    }
}

TEST_F(SettingsJournalTest, TheRunValueComesBackWithItsArgument)
{
    const test::TempFolder install(L"journal vorlix");
    ASSERT_TRUE(test::WriteBytes(install / L"VorlixLog.exe", "stand-in"));
    ASSERT_TRUE(test::WriteBytes(install / L"Vorlix.exe", "stand-in"));
    test::SetString(kVorlixClientKey, L"Install", install.Path());
    const std::wstring customers = L"\"" + (install / L"Vorlix.exe") + L"\" /tray --profile=\"営業部\"";
    test::SetString(kRunKey, L"Vorlix", customers);
    test::SetString(kRunKey, L"Other", L"other.exe");
    const KeyState run = State(kRunKey);

    for (int page : {IDD_COLLECTVLXLOG_PAGE, IDD_COLLECTVLXLOG_PAGE}) {
        Show(page);
        answers = {IDNO};
        Click(IDC_APPLY);
        EXPECT_EQ(test::Stored(kRunKey, L"Vorlix"), Sz(L"\"" + (install / L"VorlixLog.exe") + L"\""));
    }
    Show(IDD_CLEARCOLLECTVLXLOG_PAGE);
    answers = {IDNO};
    Click(IDC_APPLY);

    EXPECT_EQ(State(kRunKey), run);
    EXPECT_FALSE(test::KeyExists(kToolKey));
    EXPECT_EQ(CurrentPageId(), IDD_LOGSETTING_PAGE);
}

TEST_F(SettingsJournalTest, ABrowserPolicyIsJournalledAndForgottenOnceItIsPutBack)
{
    test::SetDword(kEdgePolicyKey, L"DeveloperToolsAvailability", 2);
    const KeyState policy = State(kEdgePolicyKey);
    dlg.MenuPage().ShowPageById(IDD_VLXCONSOLELOG_PAGE, 0);
    Click(IDC_DEVTOOLS_ENABLE);
    EXPECT_TRUE(test::KeyExists(std::wstring(kJournalKey) + L"\\Edge DeveloperToolsAvailability"));
    Click(IDC_DEVTOOLS_RESTORE);
    EXPECT_EQ(State(kEdgePolicyKey), policy);
    EXPECT_FALSE(test::KeyExists(kToolKey));
}

// The tool's key made volatile: Windows then refuses the journal, a
// non-volatile key, below it.
void MakeJournalUnwritable()
{
    UniqueHkey tool;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kToolKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                tool.put(), nullptr),
              ERROR_SUCCESS);
    tool.reset();
    UniqueHkey journal;
    ASSERT_NE(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kJournalKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, journal.put(), nullptr),
              ERROR_SUCCESS)
        << "a volatile key takes no lasting subkey";
}

TEST_F(SettingsJournalTest, AJournalThatCannotBeWrittenStopsEveryChangeBeforeItStarts)
{
    const test::TempFolder install(L"journal vorlix");
    ASSERT_TRUE(test::WriteBytes(install / L"VorlixLog.exe", "stand-in"));
    test::SetString(kVorlixClientKey, L"Install", install.Path());
    test::SetString(kRunKey, L"Vorlix", L"\"C:\\before\\Vorlix.exe\"");
    test::SetDword(kLocalDumpsKey, L"DumpType", 1);
    test::SetDword(kEdgePolicyKey, L"DeveloperToolsAvailability", 2);
    MakeJournalUnwritable();
    const std::vector<KeyState> before{State(kProductKey), State(kLocalDumpsKey), State(kRunKey),
                                       State(kEdgePolicyKey)};

    for (const auto& [page, button] :
         {std::pair{IDD_COLLECTSETTING_PAGE, IDC_APPLY}, std::pair{IDD_COLLECTVLXLOG_PAGE, IDC_APPLY},
          std::pair{IDD_VLXCONSOLELOG_PAGE, IDC_DEVTOOLS_ENABLE}}) {
        SCOPED_TRACE(page);
        asked.clear();
        dlg.MenuPage().ShowPageById(page, 0);
        answers = {IDYES};
        Click(button);
        EXPECT_EQ(asked, std::vector<Box>{Standard(kSetFailed, MB_ICONHAND)});
        EXPECT_EQ(CurrentPageId(), page);
        EXPECT_EQ((std::vector<KeyState>{State(kProductKey), State(kLocalDumpsKey), State(kRunKey),
                                         State(kEdgePolicyKey)}),
                  before);
    }
    EXPECT_TRUE(restarts.empty());
}

TEST_F(SettingsJournalTest, ARestoreThatFailsKeepsTheRecordsOfWhatWasNotPutBack)
{
    test::SetDword(kLocalDumpsKey, L"DumpType", 1);
    test::SetDword(kProductKey, L"LogLevel", 3);
    SwitchOn();
    // Someone removes the key meanwhile: DumpType cannot be put back on it.
    test::DeleteTree(kLocalDumpsKey);
    asked.clear();
    SwitchOff();

    EXPECT_EQ(asked, (std::vector<Box>{
                         Standard(L"レジストリの設定を削除します。\nよろしいですか？", MB_YESNO | MB_ICONQUESTION),
                         Standard(kSetFailed, MB_ICONHAND)}));
    EXPECT_EQ(test::Stored(kProductKey, L"LogLevel"), Dword(3)) << "what could be put back is";
    EXPECT_TRUE(JournalEntryOf(ProductSetting::DumpType));
    EXPECT_FALSE(JournalEntryOf(ProductSetting::LogLevel));
    EXPECT_EQ(CurrentPageId(), IDD_CLEARCOLLECTSETTING_PAGE);
    EXPECT_TRUE(restarts.empty());
}

TEST_F(SettingsJournalTest, ACollectionsRegistryTextShowsTheJournalWithSecretsMasked)
{
    test::SetDword(kLocalDumpsKey, L"DumpType", 1);
    test::SetString(std::wstring(kProductKey) + L"\\Agent", L"AdminPassword", L"hunter2");
    SwitchOn();
    const test::TempFolder out(L"journal export");
    DumpRegistryKey(L"SOFTWARE\\Orvek", out / L"orvek.reg");
    const std::string text = test::ReadBytes(out / L"orvek.reg");

    const std::string section = "TOVRA DIAG\\Journal\\LocalDumps DumpType]\r\n";
    const std::string::size_type at = text.find(section);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string entry = text.substr(at + section.size(), text.find("\r\n\r\n", at) - at - section.size());
    EXPECT_NE(entry.find("Data=1\r\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Existed=1\r\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Page=149\r\n"), std::string::npos) << entry;
    EXPECT_NE(text.find("AdminPassword=****\r\n"), std::string::npos);
    EXPECT_EQ(text.find("hunter2"), std::string::npos);
}

}  // namespace
}  // namespace qx
