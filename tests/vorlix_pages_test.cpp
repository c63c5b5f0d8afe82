// The Vorlix pages in the real main window, on the real registry and files:
// the autostart switch (204, 205), the investigation build launcher (155) with
// real stand-in programs started and ended, and the console-log page (156)
// with the browsers' policy keys. Message boxes and the restart go through
// their seams.

#include "app/main_dlg.h"
#include "files_fixture.h"
#include "platform/handles.h"
#include "platform/processes.h"
#include "platform/registry_values.h"
#include "platform/restart.h"
#include "platform/ui.h"
#include "registry_fixture.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "settings/settings_journal.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::TempFolder;

struct AskedBox {
    HWND Owner;
    std::wstring Text;
    std::wstring Caption;
    UINT Style;
};

// A message box by its string id and the style it was shown with.
struct Box {
    UINT Id;
    UINT Style;
};

const UINT kWarning = MB_OK | MB_ICONEXCLAMATION;
const UINT kQuestion = MB_YESNO | MB_ICONQUESTION;

// The main window on the fake machine's registry with the Vorlix keys, the
// product key and the policy keys moved aside; every message box answered by
// `answer`, every restart refused and counted.
class VorlixPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        Seams().messageBox = [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
            asked_.push_back({owner, text, caption, style});
            return answer_;
        };
        TheRestartSeam().exitWindows = [this](UINT flags, DWORD) {
            restartFlags_.push_back(flags);
            return FALSE;
        };
        ASSERT_NE(dlg_.Create(nullptr), nullptr);
        ::ShowWindow(dlg_.Handle(), SW_SHOW);
        test::PumpMessages();
    }
    void TearDown() override
    {
        Seams() = savedSeams_;
        TheRestartSeam() = savedRestart_;
    }

    CPage& Page(int pageId) { return *dlg_.Page(dlg_.IndexOfPage(pageId)); }
    int CurrentPageId() const { return dlg_.Page(dlg_.CurrentIndex())->PageId; }
    void Show(int pageId, int param = 0)
    {
        ASSERT_TRUE(dlg_.ShowPage(dlg_.IndexOfPage(pageId), param));
        test::PumpMessages();
    }
    void Click(int pageId, int button)
    {
        ::SendMessageW(::GetDlgItem(Page(pageId).Handle(), button), BM_CLICK, 0, 0);
        test::PumpMessages();
    }
    std::wstring ControlText(int pageId, int control) { return WindowText(::GetDlgItem(Page(pageId).Handle(), control)); }

    // The boxes shown so far were the standard boxes `expected`, in this order.
    void ExpectBoxes(const std::vector<Box>& expected)
    {
        ASSERT_EQ(asked_.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(asked_[i].Text, LoadResourceString(expected[i].Id)) << expected[i].Id;
            EXPECT_EQ(asked_[i].Style, expected[i].Style);
            EXPECT_EQ(asked_[i].Owner, dlg_.Handle());
            EXPECT_EQ(asked_[i].Caption, test::kTestProgramName);
        }
    }

    void SetInstall(const std::wstring& folder) { test::SetString(kVorlixClientKey, L"Install", folder); }

    const UiSeams savedSeams_ = Seams();
    const RestartSeam savedRestart_ = TheRestartSeam();
    const test::MovedAside aside_{{kRunKey, kVorlixClientKey, kProductKey, kEdgePolicyKey, kChromePolicyKey, kToolKey}};
    std::vector<AskedBox> asked_;
    int answer_ = IDNO;
    std::vector<UINT> restartFlags_;
    CMainDlg dlg_;
};

// --- 204 and 205: the autostart switch -----------------------------------------

enum class Install { Absent, Empty, Folder };

struct SwitchCase {
    const char* Name;
    int PageId;
    Install InstallState;
    std::vector<const wchar_t*> Files;
    bool RunKeyExists;
    int Answer;
    std::vector<Box> Boxes;
    // The program the Run value names afterwards; nothing: the value as it was.
    const wchar_t* RunProgram;
    int PageAfter;
    bool Restarted;
};

const wchar_t kBefore[] = L"\"C:\\before\\Vorlix.exe\"";

std::vector<SwitchCase> SwitchCases()
{
    const std::vector<const wchar_t*> both{L"Vorlix.exe", L"VorlixLog.exe"};
    return {
        {"204 Install absent", 204, Install::Absent, both, true, IDNO, {{IDS_VLX_NOT_INSTALLED, kWarning}}, nullptr,
         204, false},
        {"204 Install empty", 204, Install::Empty, both, true, IDNO, {{IDS_VLX_NOT_INSTALLED, kWarning}}, nullptr, 204,
         false},
        {"204 no VorlixLog.exe", 204, Install::Folder, {L"Vorlix.exe"}, true, IDNO,
         {{IDS_VLXLOG_NOT_INSTALLED, kWarning}}, nullptr, 204, false},
        {"204 Run key missing", 204, Install::Folder, both, false, IDNO, {{IDS_REGISTRY_OPEN_FAILED, MB_ICONHAND}},
         nullptr, 204, false},
        {"204 No to the restart", 204, Install::Folder, both, true, IDNO, {{IDS_REGISTRY_SET_RESTART, kQuestion}},
         L"VorlixLog.exe", 148, false},
        {"204 Yes to the restart", 204, Install::Folder, both, true, IDYES, {{IDS_REGISTRY_SET_RESTART, kQuestion}},
         L"VorlixLog.exe", 148, true},
        {"205 Install absent", 205, Install::Absent, both, true, IDNO, {{IDS_VLX_NOT_INSTALLED, kWarning}}, nullptr,
         205, false},
        {"205 Install empty", 205, Install::Empty, both, true, IDNO, {{IDS_VLX_NOT_INSTALLED, kWarning}}, nullptr, 205,
         false},
        {"205 no Vorlix.exe", 205, Install::Folder, {L"VorlixLog.exe"}, true, IDNO,
         {{IDS_VLX_NOT_INSTALLED, kWarning}}, nullptr, 205, false},
        {"205 Run key missing", 205, Install::Folder, both, false, IDNO, {{IDS_REGISTRY_OPEN_FAILED, MB_ICONHAND}},
         nullptr, 205, false},
        {"205 No to the restart", 205, Install::Folder, both, true, IDNO, {{IDS_REGISTRY_SET_RESTART, kQuestion}},
         L"Vorlix.exe", 148, false},
        {"205 Yes to the restart", 205, Install::Folder, both, true, IDYES, {{IDS_REGISTRY_SET_RESTART, kQuestion}},
         L"Vorlix.exe", 148, true},
    };
}

TEST_F(VorlixPageTest, AutostartSwitchChecksWritesTheQuotedPathAndOffersARestart)
{
    for (const SwitchCase& c : SwitchCases()) {
        SCOPED_TRACE(c.Name);
        // Blanks in the folder: the quotes keep the path whole.
        TempFolder install(L"vorlix client");
        TempFolder logs(L"vorlix logs");
        const std::wstring logFolder = logs / L"new\\VLX";
        test::DeleteTree(kRunKey);
        test::DeleteTree(kVorlixClientKey);
        // Without a journal each page does what it always did.
        test::DeleteTree(kToolKey);
        if (c.RunKeyExists) test::SetString(kRunKey, L"Vorlix", kBefore);
        if (c.InstallState == Install::Empty) SetInstall(L"");
        if (c.InstallState == Install::Folder) SetInstall(install.Path() + L"\\");
        for (const wchar_t* file : c.Files) ASSERT_TRUE(test::WriteBytes(install / file, "stand-in"));
        test::SetString(kProductKey, L"LogPath", logFolder);
        asked_.clear();
        restartFlags_.clear();
        answer_ = c.Answer;

        Show(c.PageId);
        Click(c.PageId, IDC_APPLY);

        ExpectBoxes(c.Boxes);
        const std::optional<std::wstring> run = ReadLocalMachineString(kRunKey, L"Vorlix", 1024);
        if (!c.RunKeyExists) {
            EXPECT_FALSE(test::KeyExists(kRunKey)) << "the Run key is never created";
        } else if (c.RunProgram) {
            EXPECT_EQ(run, L"\"" + install.Path() + L"\\" + c.RunProgram + L"\"");
        } else {
            EXPECT_EQ(run, std::wstring(kBefore));
        }
        EXPECT_EQ(CurrentPageId(), c.PageAfter);
        EXPECT_EQ(restartFlags_, c.Restarted ? std::vector<UINT>{EWX_REBOOT} : std::vector<UINT>{});
        // Only 204, and only once the value is written, makes the debug-log folder.
        const bool folderMade = c.PageId == 204 && c.RunProgram;
        EXPECT_EQ(::GetFileAttributesW(logFolder.c_str()) != INVALID_FILE_ATTRIBUTES, folderMade);
    }
}

TEST_F(VorlixPageTest, AutostartSwitchCreatesTheRunValueWhenItWasAbsent)
{
    TempFolder install(L"vorlix client");
    ASSERT_TRUE(test::WriteBytes(install / L"VorlixLog.exe", "stand-in"));
    SetInstall(install.Path() + L"\\");
    test::CreateKey(kRunKey);
    test::SetString(kProductKey, L"LogPath", install / L"log");
    Show(204);
    Click(204, IDC_APPLY);
    EXPECT_EQ(ReadLocalMachineString(kRunKey, L"Vorlix", 1024), L"\"" + (install / L"VorlixLog.exe") + L"\"");
    ExpectBoxes({{IDS_REGISTRY_SET_RESTART, kQuestion}});
}

TEST_F(VorlixPageTest, LoggingSwitchShowsTheDebugLogFolderAndStopsWhenItCannotBeMade)
{
    TempFolder install(L"vorlix client");
    ASSERT_TRUE(test::WriteBytes(install / L"VorlixLog.exe", "stand-in"));
    ASSERT_TRUE(test::WriteBytes(install / L"a file", "in the way"));
    SetInstall(install.Path() + L"\\");
    test::SetString(kRunKey, L"Vorlix", kBefore);
    const std::wstring blocked = install / L"a file\\log";
    test::SetString(kProductKey, L"LogPath", blocked);

    Show(204);
    EXPECT_EQ(ControlText(204, IDC_LOGFOLDER), blocked);
    Click(204, IDC_APPLY);

    ASSERT_EQ(asked_.size(), 1u) << "no restart is offered";
    EXPECT_EQ(asked_[0].Owner, nullptr);
    EXPECT_EQ(asked_[0].Text, L"出力先への書き込みに失敗しました。書き込み権限を確認してください。");
    EXPECT_EQ(asked_[0].Caption, L"TOVRA DIAG - 保存");
    EXPECT_EQ(asked_[0].Style, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(ReadLocalMachineString(kRunKey, L"Vorlix", 1024), L"\"" + (install / L"VorlixLog.exe") + L"\"")
        << "the value stays switched";
    EXPECT_EQ(CurrentPageId(), 204);

    test::DeleteTree(kProductKey);
    Show(204);
    EXPECT_EQ(ControlText(204, IDC_LOGFOLDER), L"C:\\Log") << "read afresh on every showing";
}

TEST_F(VorlixPageTest, SwitchPagesShowTheTrayPicture)
{
    for (int pageId : {155, 204}) {
        HWND picture = ::GetDlgItem(Page(pageId).Handle(), IDC_TRAY_PICTURE);
        BITMAP bitmap{};
        const auto shown = reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(shown, nullptr) << pageId;
        ASSERT_NE(::GetObjectW(shown, sizeof bitmap, &bitmap), 0);
        EXPECT_EQ(bitmap.bmWidth, 222);
        EXPECT_EQ(bitmap.bmHeight, 60);
    }
}

// --- 155: the investigation build launcher -------------------------------------

std::wstring StandInPath()
{
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path = module;
    return path.substr(0, path.rfind(L'\\')) + L"\\fakes\\vorlix_client.exe";
}

const wchar_t* const kAllNames[] = {L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe",
                                    L"vlxExtension.exe.org"};

class LauncherTest : public VorlixPageTest {
protected:
    void SetUp() override
    {
        VorlixPageTest::SetUp();
        standIn_ = test::ReadBytes(StandInPath());
        ASSERT_FALSE(standIn_.empty()) << "the stand-in is built beside the tests";
        SetInstall(install_.Path() + L"\\");
        test::SetString(kProductKey, L"LogPath", L"D:\\VLX log");
        Show(155);
    }
    void TearDown() override
    {
        for (const wchar_t* name : kAllNames) TerminateProcessesByName(name);
        // The files of running programs cannot be removed.
        for (DWORD pid : Launched().second) {
            UniqueHandleKernel process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
            if (process) ::WaitForSingleObject(process.get(), 5000);
        }
        for (const UniqueHandleKernel& process : elsewhere_) ::WaitForSingleObject(process.get(), 5000);
        VorlixPageTest::TearDown();
    }

    // Puts a copy of the stand-in under each name; each copy carries its
    // original name at its end, so that renames can be followed.
    void Place(std::initializer_list<const wchar_t*> names)
    {
        for (const wchar_t* name : names) ASSERT_TRUE(test::WriteBytes(install_ / name, standIn_ + Marker(name)));
    }
    static std::string Marker(const std::wstring& name)
    {
        std::string marker(1, '\n');
        for (wchar_t c : name) marker.push_back(static_cast<char>(c));
        return marker;
    }

    // Each file of the install folder with the name its content came under; "" for none.
    std::map<std::wstring, std::string> Folder()
    {
        std::map<std::wstring, std::string> names;
        for (const wchar_t* name : kAllNames) {
            bool exists = false;
            const std::string bytes = test::ReadBytes(install_ / name, &exists);
            if (!exists) continue;
            const std::string::size_type cut = bytes.rfind('\n');
            names[name] = bytes.substr(cut + 1);
        }
        return names;
    }

    // The programs started from the install folder, in order, and their ids,
    // once `count` have written their trace (or after the wait).
    std::pair<std::vector<std::string>, std::vector<DWORD>> Launched(size_t count = 0)
    {
        std::pair<std::vector<std::string>, std::vector<DWORD>> result;
        for (int wait = 0; wait < 100; ++wait) {
            result = {};
            std::istringstream lines(test::ReadBytes(install_ / L"vorlix-trace.txt"));
            std::string name;
            DWORD pid = 0;
            while (lines >> name >> pid) {
                result.first.push_back(name);
                result.second.push_back(pid);
            }
            if (result.first.size() >= count) break;
            ::Sleep(50);
        }
        return result;
    }
    std::vector<std::string> LaunchedNames(size_t count) { return Launched(count).first; }

    // The normal client, running from another folder, as the user's session has it.
    HANDLE RunClientElsewhere()
    {
        const std::wstring exe = elsewhereFolder_ / L"Vorlix.exe";
        EXPECT_TRUE(test::WriteBytes(exe, standIn_));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring commandLine = L"\"" + exe + L"\"";
        EXPECT_TRUE(::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &info))
            << ::GetLastError();
        const UniqueHandleKernel thread(info.hThread);
        elsewhere_.emplace_back(info.hProcess);
        // Ending it before it has started would prove nothing.
        for (int wait = 0; wait < 100 && test::ReadBytes(elsewhereFolder_ / L"vorlix-trace.txt").empty(); ++wait) {
            ::Sleep(50);
        }
        return info.hProcess;
    }

    static bool EndedByTheTool(HANDLE process)
    {
        DWORD code = 1;
        return ::WaitForSingleObject(process, 5000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process, &code) &&
               code == 0;
    }
    static bool EndedByTheTool(DWORD pid)
    {
        UniqueHandleKernel process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        return !process || EndedByTheTool(process.get());
    }
    static bool Running(DWORD pid)
    {
        UniqueHandleKernel process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        return process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
    }

    using Files = std::map<std::wstring, std::string>;
    static Files Normal()
    {
        return {{L"Vorlix.exe", "Vorlix.exe"},
                {L"VorlixLog.exe", "VorlixLog.exe"},
                {L"vlxExtension.exe", "vlxExtension.exe"},
                {L"vlxExtensionLog.exe", "vlxExtensionLog.exe"}};
    }
    static Files Investigating()
    {
        return {{L"Vorlix.exe", "Vorlix.exe"},
                {L"VorlixLog.exe", "VorlixLog.exe"},
                {L"vlxExtension.exe", "vlxExtensionLog.exe"},
                {L"vlxExtension.exe.org", "vlxExtension.exe"}};
    }

    std::string standIn_;
    TempFolder install_{L"vorlix install"};
    TempFolder elsewhereFolder_{L"vorlix elsewhere"};
    std::vector<UniqueHandleKernel> elsewhere_;
};

TEST_F(LauncherTest, ShowsTheDebugLogFolder) { EXPECT_EQ(ControlText(155, IDC_LOGFOLDER), L"D:\\VLX log"); }

TEST_F(LauncherTest, StartEndsTheClientSwapsTheExtensionAndStartsTheLoggingBuild)
{
    Place({L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe"});
    const HANDLE client = RunClientElsewhere();
    Click(155, IDC_VLX_EXEC);
    EXPECT_TRUE(EndedByTheTool(client));
    EXPECT_EQ(Folder(), Investigating());
    EXPECT_EQ(LaunchedNames(1), std::vector<std::string>{"VorlixLog.exe"});
    ExpectBoxes({{IDS_VLX_STARTED, MB_ICONINFORMATION}});
    EXPECT_EQ(CurrentPageId(), 155);
}

TEST_F(LauncherTest, StartWithoutTheExtensionLoggingBuildRenamesNothing)
{
    Place({L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe"});
    Click(155, IDC_VLX_EXEC);
    EXPECT_EQ(Folder(), (Files{{L"Vorlix.exe", "Vorlix.exe"},
                               {L"VorlixLog.exe", "VorlixLog.exe"},
                               {L"vlxExtension.exe", "vlxExtension.exe"}}));
    EXPECT_EQ(LaunchedNames(1), std::vector<std::string>{"VorlixLog.exe"});
    ExpectBoxes({{IDS_VLX_STARTED, MB_ICONINFORMATION}});
}

TEST_F(LauncherTest, StartTwiceStartsTheLoggingBuildAgainWithoutEndingIt)
{
    Place({L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe"});
    Click(155, IDC_VLX_EXEC);
    const DWORD first = Launched(1).second.at(0);
    Click(155, IDC_VLX_EXEC);
    EXPECT_EQ(Folder(), Investigating());
    EXPECT_EQ(LaunchedNames(2), (std::vector<std::string>{"VorlixLog.exe", "VorlixLog.exe"}));
    EXPECT_TRUE(Running(first));
    ExpectBoxes({{IDS_VLX_STARTED, MB_ICONINFORMATION}, {IDS_VLX_STARTED, MB_ICONINFORMATION}});
}

TEST_F(LauncherTest, StartWithBothExtensionFilesRenamesNothingButStillLaunches)
{
    Place({L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe", L"vlxExtension.exe.org"});
    Click(155, IDC_VLX_EXEC);
    Files unchanged = Normal();
    unchanged[L"vlxExtension.exe.org"] = "vlxExtension.exe.org";
    EXPECT_EQ(Folder(), unchanged);
    EXPECT_EQ(LaunchedNames(1), std::vector<std::string>{"VorlixLog.exe"});
    ExpectBoxes({{IDS_VLX_STARTED, MB_ICONINFORMATION}});
}

TEST_F(LauncherTest, StopWithoutStartRenamesNothingAndStartsTheClient)
{
    Place({L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe"});
    Click(155, IDC_VLX_STOP);
    EXPECT_EQ(Folder(), Normal());
    EXPECT_EQ(LaunchedNames(1), std::vector<std::string>{"Vorlix.exe"});
    ExpectBoxes({{IDS_VLX_STOPPED, MB_ICONINFORMATION}});
}

TEST_F(LauncherTest, StartThenStopEndsTheLoggingBuildAndLeavesTheNormalState)
{
    Place({L"Vorlix.exe", L"VorlixLog.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe"});
    Click(155, IDC_VLX_EXEC);
    const DWORD logBuild = Launched(1).second.at(0);
    Click(155, IDC_VLX_STOP);
    EXPECT_TRUE(EndedByTheTool(logBuild));
    EXPECT_EQ(Folder(), Normal());
    const auto [names, pids] = Launched(2);
    EXPECT_EQ(names, (std::vector<std::string>{"VorlixLog.exe", "Vorlix.exe"}));
    ASSERT_EQ(pids.size(), 2u);
    EXPECT_TRUE(Running(pids[1])) << "the client keeps running";
    ExpectBoxes({{IDS_VLX_STARTED, MB_ICONINFORMATION}, {IDS_VLX_STOPPED, MB_ICONINFORMATION}});
}

TEST_F(LauncherTest, StartWithoutInstallEndsTheClientAndReportsIt)
{
    test::DeleteTree(kVorlixClientKey);
    Place({L"Vorlix.exe", L"VorlixLog.exe"});
    const HANDLE client = RunClientElsewhere();
    Click(155, IDC_VLX_EXEC);
    EXPECT_TRUE(EndedByTheTool(client));
    ExpectBoxes({{IDS_VLX_NOT_INSTALLED, kWarning}});
    ::Sleep(300);
    EXPECT_TRUE(LaunchedNames(0).empty());
}

TEST_F(LauncherTest, StartWithoutTheLoggingBuildEndsTheClientAndReportsIt)
{
    Place({L"Vorlix.exe", L"vlxExtension.exe", L"vlxExtensionLog.exe"});
    const HANDLE client = RunClientElsewhere();
    Click(155, IDC_VLX_EXEC);
    EXPECT_TRUE(EndedByTheTool(client));
    ExpectBoxes({{IDS_VLXLOG_NOT_INSTALLED, kWarning}});
    EXPECT_EQ(Folder(), (Files{{L"Vorlix.exe", "Vorlix.exe"},
                               {L"vlxExtension.exe", "vlxExtension.exe"},
                               {L"vlxExtensionLog.exe", "vlxExtensionLog.exe"}}));
}

TEST_F(LauncherTest, FailedLaunchesAreReported)
{
    // Stop checks nothing first: without "Vorlix.exe" its launch fails.
    Place({L"VorlixLog.exe"});
    Click(155, IDC_VLX_STOP);
    // A logging build that is no program cannot start either.
    ASSERT_TRUE(test::WriteBytes(install_ / L"VorlixLog.exe", "not a program"));
    Click(155, IDC_VLX_EXEC);
    ExpectBoxes({{IDS_VLX_START_FAILED, kWarning}, {IDS_VLX_START_FAILED, kWarning}});
    EXPECT_TRUE(LaunchedNames(0).empty());
}

// --- 156: the browser console-log page ------------------------------------------

struct StepTexts {
    std::wstring Step1, Step2, Step3;
    bool operator==(const StepTexts&) const = default;
};

const StepTexts kEdgeTexts{
    L"① 事象発生端末でEdgeブラウザを起動しアドレスバーに「edge://extensions」を入力します。",
    L"② 画面左側の「開発者モード」をONにします。",
    L"③ 拡張機能「Vorlix Extension V3」 の 「サービスワーカー」のリンクをクリックします。",
};
const StepTexts kChromeTexts{
    L"① 事象発生端末でChromeブラウザを起動しアドレスバーに「chrome://extensions」を入力します。",
    L"② 画面上側の「デベロッパーモード」をONにします。",
    L"③ 拡張機能「Vorlix Extension V3」 の 「Service Worker」のリンクをクリックします。",
};

using ConsoleLogPageTest = VorlixPageTest;

TEST_F(ConsoleLogPageTest, StepTextsFollowTheBrowserOfEachShowing)
{
    const struct {
        int Param;
        const StepTexts& Texts;
    } showings[] = {{0, kEdgeTexts}, {1, kChromeTexts}, {1, kChromeTexts}, {0, kEdgeTexts}, {1, kChromeTexts}};
    for (const auto& showing : showings) {
        Show(156, showing.Param);
        EXPECT_EQ(dlg_.ConsoleLogPage().BrowserIsChrome(), showing.Param != 0);
        EXPECT_EQ((StepTexts{ControlText(156, IDC_CONSOLE_STEP1), ControlText(156, IDC_CONSOLE_STEP2),
                             ControlText(156, IDC_CONSOLE_STEP3)}),
                  showing.Texts);
    }
}

// The policy values of one key: nothing for an absent value, and no key at all
// when `key` is false.
struct Policy {
    bool Key;
    std::optional<DWORD> Availability;
    std::optional<DWORD> Original;
    bool operator==(const Policy&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Policy& p)
{
    if (!p.Key) return out << "no key";
    out << "DeveloperToolsAvailability=";
    p.Availability ? out << *p.Availability : out << "absent";
    out << " ORG=";
    return p.Original ? out << *p.Original : out << "absent";
}

Policy ReadPolicy(const wchar_t* key)
{
    if (!test::KeyExists(key)) return {false, std::nullopt, std::nullopt};
    return {true, ReadLocalMachineDword(key, L"DeveloperToolsAvailability"),
            ReadLocalMachineDword(key, L"DeveloperToolsAvailabilityORG")};
}

void WritePolicy(const wchar_t* key, const Policy& p)
{
    test::DeleteTree(key);
    if (!p.Key) return;
    test::CreateKey(key);
    if (p.Availability) test::SetDword(key, L"DeveloperToolsAvailability", *p.Availability);
    if (p.Original) test::SetDword(key, L"DeveloperToolsAvailabilityORG", *p.Original);
}

struct PolicyCase {
    const char* Name;
    Policy Before;
    // The buttons pressed, each followed by the state it leaves.
    std::vector<std::pair<int, Policy>> Steps;
};

std::vector<PolicyCase> PolicyCases()
{
    const Policy none{false, std::nullopt, std::nullopt};
    const Policy empty{true, std::nullopt, std::nullopt};
    return {
        {"no policy key", none, {{IDC_DEVTOOLS_ENABLE, none}, {IDC_DEVTOOLS_RESTORE, none}}},
        {"value 2", {true, 2, std::nullopt}, {{IDC_DEVTOOLS_ENABLE, {true, 1, 2}}, {IDC_DEVTOOLS_RESTORE, {true, 2, std::nullopt}}}},
        {"value absent", empty, {{IDC_DEVTOOLS_ENABLE, {true, 1, std::nullopt}}, {IDC_DEVTOOLS_RESTORE, empty}}},
        // The saved policy is the organisation's, not the 1 the first press wrote.
        {"enabled twice",
         {true, 2, std::nullopt},
         {{IDC_DEVTOOLS_ENABLE, {true, 1, 2}},
          {IDC_DEVTOOLS_ENABLE, {true, 1, 2}},
          {IDC_DEVTOOLS_RESTORE, {true, 2, std::nullopt}}}},
        {"saved by an earlier enable", {true, 1, 0}, {{IDC_DEVTOOLS_ENABLE, {true, 1, 0}}, {IDC_DEVTOOLS_RESTORE, {true, 0, std::nullopt}}}},
        {"restore without enable", {true, 0, std::nullopt}, {{IDC_DEVTOOLS_RESTORE, empty}}},
    };
}

TEST_F(ConsoleLogPageTest, DeveloperToolsPolicyIsSetAndPutBackOnTheShownBrowsersKeyOnly)
{
    const struct {
        int Param;
        const wchar_t* Key;
        const wchar_t* OtherKey;
    } browsers[] = {{0, kEdgePolicyKey, kChromePolicyKey}, {1, kChromePolicyKey, kEdgePolicyKey}};
    const Policy other{true, 3, 4};
    for (const auto& browser : browsers) {
        for (const PolicyCase& c : PolicyCases()) {
            SCOPED_TRACE(testing::Message() << "param " << browser.Param << ", " << c.Name);
            WritePolicy(browser.Key, c.Before);
            WritePolicy(browser.OtherKey, other);
            Show(156, browser.Param);
            for (const auto& [button, after] : c.Steps) {
                asked_.clear();
                Click(156, button);
                EXPECT_EQ(ReadPolicy(browser.Key), after) << "after " << button;
                ExpectBoxes({{button == IDC_DEVTOOLS_ENABLE ? UINT{IDS_DEVTOOLS_ENABLED} : UINT{IDS_DEVTOOLS_RESTORED},
                              MB_ICONINFORMATION}});
            }
            EXPECT_EQ(ReadPolicy(browser.OtherKey), other);
            EXPECT_EQ(CurrentPageId(), 156);
        }
    }
}

}  // namespace
}  // namespace qx
