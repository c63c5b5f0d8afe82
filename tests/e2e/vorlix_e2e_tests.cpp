// The Vorlix pages of QXDIAG.exe driven from outside on the fake machine: the
// autostart switch answered with No (never a restart), the investigation build
// started and stopped with the stand-ins of the install folder, and the
// console-log page for Chrome. Whatever the tool changes is put back.

#include "driver.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace qx::e2e {
namespace {

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kClientKey[] = L"SOFTWARE\\Orvek\\VLX\\Client";
constexpr wchar_t kChromePolicyKey[] = L"SOFTWARE\\Policies\\Google\\Chrome";

std::optional<std::wstring> ReadString(const wchar_t* key, const wchar_t* name)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return data;
}

void WriteString(const wchar_t* key, const wchar_t* name, const std::wstring& text)
{
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool KeyExists(const wchar_t* key)
{
    UniqueHkey opened;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Waits for the tool's standard message box, checks its text and closes it with `answer`.
void Answer(const App& app, const wchar_t* text, int answer)
{
    HWND box = WaitForDialog(app.ProcessId(), kBoxCaption, app.MainWindow());
    ASSERT_NE(box, nullptr) << "no message box";
    wchar_t shown[512] = {};
    ::GetDlgItemTextW(box, 0xFFFF, shown, 512);
    EXPECT_EQ(std::wstring(shown), text);
    ASSERT_TRUE(ClickButton(box, answer));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
}

class VorlixPages : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(app_.Start()) << "CreateProcessW failed: " << ::GetLastError();
        sheet_ = app_.WaitForMainWindow();
        ASSERT_NE(sheet_, nullptr);
        ASSERT_TRUE(WaitForPage(sheet_, IDD_MENU_PAGE));
    }
    void TearDown() override
    {
        if (app_.Running()) {
            PostSysCommand(sheet_, SC_CLOSE);
            if (!app_.WaitForExit()) app_.Kill();
        }
    }

    // Presses button `button` of the current page, which shows `pageId`.
    bool Go(int button, int pageId)
    {
        const auto table = NavigationTable();
        const int from = CurrentPageId(sheet_);
        const auto row = std::find_if(table.begin(), table.end(),
                                      [&](const auto& r) { return r.from == from && r.button == button; });
        return row != table.end() && row->shows == pageId && Navigate(sheet_, *row);
    }
    bool Click(int button) { return ClickButton(CurrentPageWindow(sheet_), button); }
    std::wstring Text(int control)
    {
        wchar_t text[512] = {};
        ::GetDlgItemTextW(CurrentPageWindow(sheet_), control, text, 512);
        return text;
    }

    App app_;
    HWND sheet_ = nullptr;
};

TEST_F(VorlixPages, AutostartSwitchesToTheLoggingBuildAndBackWithoutRestart)
{
    const std::optional<std::wstring> before = ReadString(kRunKey, L"Vorlix");
    const std::optional<std::wstring> install = ReadString(kClientKey, L"Install");
    ASSERT_TRUE(before && install) << "the fake machine has the client and its Run value";
    struct Restore {
        std::wstring value;
        ~Restore() { WriteString(kRunKey, L"Vorlix", value); }
    } restore{*before};

    ASSERT_TRUE(Go(IDC_MENU_LOGSETTING, IDD_LOGSETTING_PAGE));
    ASSERT_TRUE(Go(IDC_LOG_VLXCOLLECT, IDD_COLLECTVLXLOG_PAGE));
    EXPECT_FALSE(Text(IDC_LOGFOLDER).empty());
    ASSERT_TRUE(Click(IDC_APPLY));
    Answer(app_, L"レジストリを設定しました。\n再起動しますか？", IDNO);
    ASSERT_TRUE(WaitForPage(sheet_, IDD_LOGSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(ReadString(kRunKey, L"Vorlix"), L"\"" + *install + L"VorlixLog.exe\"");

    ASSERT_TRUE(Go(IDC_LOG_VLXCLEAR, IDD_CLEARCOLLECTVLXLOG_PAGE));
    ASSERT_TRUE(Click(IDC_APPLY));
    Answer(app_, L"レジストリを設定しました。\n再起動しますか？", IDNO);
    ASSERT_TRUE(WaitForPage(sheet_, IDD_LOGSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(ReadString(kRunKey, L"Vorlix"), L"\"" + *install + L"Vorlix.exe\"");
    EXPECT_TRUE(app_.Running()) << "No never restarts";
}

// The programs started from the install folder, from the stand-ins' trace.
std::vector<std::pair<std::string, DWORD>> Started(const std::wstring& install)
{
    std::vector<std::pair<std::string, DWORD>> started;
    std::ifstream trace(std::filesystem::path(install + L"vorlix-trace.txt"));
    std::string name;
    DWORD pid = 0;
    while (trace >> name >> pid) started.emplace_back(name, pid);
    return started;
}

TEST_F(VorlixPages, InvestigationBuildStartsAndStopsThroughTheHiddenMenuButton)
{
    const std::optional<std::wstring> install = ReadString(kClientKey, L"Install");
    ASSERT_TRUE(install);
    const std::wstring folder = *install;
    const std::wstring trace = folder + L"vorlix-trace.txt";
    ::DeleteFileW(trace.c_str());
    // Ends what was started and puts the extension programs back under their names.
    struct Cleanup {
        std::wstring folder;
        ~Cleanup()
        {
            for (const auto& [name, pid] : Started(folder)) {
                const UniqueHandleKernel process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
                if (!process) continue;
                ::TerminateProcess(process.get(), 0);
                ::WaitForSingleObject(process.get(), 5000);
            }
            if (Exists(folder + L"vlxExtension.exe.org")) {
                ::MoveFileExW((folder + L"vlxExtension.exe").c_str(), (folder + L"vlxExtensionLog.exe").c_str(), 0);
                ::MoveFileExW((folder + L"vlxExtension.exe.org").c_str(), (folder + L"vlxExtension.exe").c_str(), 0);
            }
            ::DeleteFileW((folder + L"vorlix-trace.txt").c_str());
        }
    } cleanup{folder};

    ASSERT_TRUE(Go(IDC_MENU_VLXLOGSETTING, IDD_VLXLOGSETTING_PAGE));
    ASSERT_TRUE(Go(IDC_VLX_EXEC, IDD_VLXLOGEXEC_PAGE));
    ASSERT_TRUE(Click(IDC_VLX_EXEC));
    Answer(app_, L"調査用Vorlixを起動しました。", IDOK);
    EXPECT_TRUE(WaitUntil([&] { return Started(folder).size() == 1; }));
    ASSERT_EQ(Started(folder).size(), 1u);
    EXPECT_EQ(Started(folder)[0].first, "VorlixLog.exe");
    EXPECT_TRUE(Exists(folder + L"vlxExtension.exe.org"));
    EXPECT_FALSE(Exists(folder + L"vlxExtensionLog.exe"));

    ASSERT_TRUE(Click(IDC_VLX_STOP));
    Answer(app_, L"調査用Vorlixを終了しました", IDOK);
    EXPECT_TRUE(WaitUntil([&] { return Started(folder).size() == 2; }));
    ASSERT_EQ(Started(folder).size(), 2u);
    EXPECT_EQ(Started(folder)[1].first, "Vorlix.exe");
    EXPECT_FALSE(Exists(folder + L"vlxExtension.exe.org"));
    EXPECT_TRUE(Exists(folder + L"vlxExtensionLog.exe"));
    EXPECT_EQ(CurrentPageId(sheet_), IDD_VLXLOGEXEC_PAGE);
}

TEST_F(VorlixPages, ConsoleLogPageForChromeWithoutPolicyKeyStillReports)
{
    ASSERT_FALSE(KeyExists(kChromePolicyKey)) << "the fake machine has no Chrome policy";
    ASSERT_TRUE(Go(IDC_MENU_VLXLOGSETTING, IDD_VLXLOGSETTING_PAGE));
    ASSERT_TRUE(Go(IDC_VLX_CHROME, IDD_VLXCONSOLELOG_PAGE));
    EXPECT_EQ(Text(IDC_CONSOLE_STEP1),
              L"① 事象発生端末でChromeブラウザを起動しアドレスバーに「chrome://extensions」を入力します。");
    ASSERT_TRUE(Click(IDC_DEVTOOLS_ENABLE));
    Answer(app_, L"管理者モードの設定を実行しました。", IDOK);
    ASSERT_TRUE(Click(IDC_DEVTOOLS_RESTORE));
    Answer(app_, L"管理者モードの設定を解除しました。", IDOK);
    EXPECT_FALSE(KeyExists(kChromePolicyKey)) << "a policy key is never created";
}

}  // namespace
}  // namespace qx::e2e
