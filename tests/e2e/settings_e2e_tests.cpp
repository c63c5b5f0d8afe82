// The debug-log setting and clearing pages of QXDIAG.exe driven from outside on
// the fake machine: what "設定" leaves in the registry and in a log folder of
// the test's own. QXDIAG.exe is answered No at every restart question, since a
// real restart would end every windowed program of the prefix; Yes goes to the
// copy of the tool that writes the restart down instead, with the product's
// services running as stand-ins. The six values are put back as they were.

#include "driver.h"
#include "files_fixture.h"
#include "process_fixture.h"
#include "registry_fixture.h"
#include "resource.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qx::e2e {
namespace {

using test::Dword;
using test::Sz;
using test::TempFolder;
using Value = test::StoredValue;

constexpr wchar_t kReportingKey[] = L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting";

Value Read(const RegistryValueName& value) { return test::Stored(value.key, value.name); }

std::vector<Value> ReadAll()
{
    std::vector<Value> values;
    for (const RegistryValueName& value : kDebugLogValues) values.push_back(Read(value));
    return values;
}

void Write(const RegistryValueName& value, const Value& data) { test::Restore(value.key, value.name, data); }

// Keeps the six values and puts them back exactly; the dump keys that the tool
// creates when they are missing go again if they were missing and stayed empty.
class SavedValues {
public:
    SavedValues()
        : values_(ReadAll()), reportingExisted_(test::KeyExists(kReportingKey)),
          localDumpsExisted_(test::KeyExists(kLocalDumpsKey))
    {
    }
    ~SavedValues()
    {
        for (std::size_t i = 0; i < std::size(kDebugLogValues); ++i) Write(kDebugLogValues[i], values_[i]);
        if (!localDumpsExisted_) ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLocalDumpsKey);
        if (!reportingExisted_) ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kReportingKey);
    }
    SavedValues(const SavedValues&) = delete;
    SavedValues& operator=(const SavedValues&) = delete;

private:
    // Each test starts without the tool's journal of what it changed, and
    // what a test leaves there goes with the test.
    const test::MovedAside journal_{{L"SOFTWARE\\Orvek\\TOVRA DIAG"}};
    std::vector<Value> values_;
    bool reportingExisted_;
    bool localDumpsExisted_;
};

// The hands on pages 148, 149 and 151 of a run of the tool that `Exe` names,
// the six values kept, and a log folder of the test's own. Both pages are
// reached from page 148 and lead back to it, so one run of the tool serves
// every test that leaves it open.
template <std::filesystem::path (*Exe)() = &QxdiagExePath>
class DebugLogPages : public ToolOnPage<IDD_LOGSETTING_PAGE, Exe> {
protected:
    using Tool = ToolOnPage<IDD_LOGSETTING_PAGE, Exe>;
    using Tool::app_;
    using Tool::sheet_;

    void SetUp() override
    {
        Tool::SetUp();
        if (this->HasFatalFailure()) return;
        pid_ = app_->ProcessId();
        // A folder that does not exist yet, below one that does not either.
        logFolder_ = root_ / L"debug log\\TOVRA";
    }

    // Presses the navigation button of page 148 that shows `pageId`.
    bool Show(int pageId)
    {
        for (const NavigationButton& row : NavigationTable()) {
            if (row.from == IDD_LOGSETTING_PAGE && row.shows == pageId) return Navigate(sheet_, row);
        }
        return false;
    }
    HWND Page() const { return CurrentPageWindow(sheet_); }
    std::wstring Text(int control) const { return TextOf(::GetDlgItem(Page(), control)); }
    std::wstring EditText(int control) const
    {
        wchar_t text[512] = {};
        ::SendDlgItemMessageW(Page(), control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // The exe's name: the copy that records restarts shows its own.
    static const wchar_t* BoxCaption()
    {
        return Exe == &RestartRecordingExePath ? kRestartRecordingBoxCaption : kBoxCaption;
    }

    // Waits for the standard message box, checks it and answers it.
    void Answer(const wchar_t* text, int answer)
    {
        const std::optional<MessageBoxView> box = WaitForMessageBox(pid_, sheet_);
        ASSERT_TRUE(box) << "no message box owned by the main window";
        EXPECT_EQ(box->caption, BoxCaption());
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
        ASSERT_TRUE(AnswerMessageBox(box->window, answer));
    }

    // On page 151: "設定" and Yes to message 159; the restart question that
    // follows, once the six values have gone.
    std::optional<MessageBoxView> ClearValues()
    {
        if (!ClickButton(Page(), IDC_APPLY)) return std::nullopt;
        Answer(kClearQuestion, IDYES);
        std::optional<MessageBoxView> restart = WaitForMessageBox(pid_, sheet_);
        if (restart) {
            // The values go before the restart question is asked.
            EXPECT_EQ(ReadAll(), std::vector<Value>(std::size(kDebugLogValues), std::nullopt));
            EXPECT_EQ(restart->text, kClearRestartQuestion);
            EXPECT_EQ(restart->caption, BoxCaption());
        }
        return restart;
    }

    const SavedValues saved_;
    TempFolder root_{L"e2e-settings"};
    std::wstring logFolder_;
    DWORD pid_ = 0;
};

using DebugLogSettings = DebugLogPages<>;

TEST_F(DebugLogSettings, SettingPageWritesTheSixValuesCreatesTheFolderAndNoKeepsTheToolOpen)
{
    for (const RegistryValueName& value : kDebugLogValues) Write(value, std::nullopt);
    // The page reads the folder from the registry each time it is shown.
    Write(kDebugLogValues[0], Sz(logFolder_));
    ASSERT_TRUE(Show(IDD_COLLECTSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(EditText(IDC_LOGFOLDER), logFolder_);
    EXPECT_EQ(Text(IDC_LOGLEVEL_TEXT), L"LogLevel <REG_DWORD> 100");
    EXPECT_EQ(Text(IDC_LOGTYPE_TEXT), L"LogType <REG_DWORD> 2");
    EXPECT_EQ(Text(IDC_DUMPTYPE_TEXT), L"DumpType <REG_DWORD> 2");
    HWND rotation = ::GetDlgItem(Page(), IDC_ROTATION);
    EXPECT_EQ(::SendMessageW(rotation, CB_GETCURSEL, 0, 0), 1) << "no LogDays: the default period";

    // As a user's choice in the list reaches the page.
    ASSERT_EQ(::SendMessageW(rotation, CB_SETCURSEL, 2, 0), 2);
    ::SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_ROTATION, CBN_SELCHANGE), reinterpret_cast<LPARAM>(rotation));
    wchar_t item[64] = {};
    ::SendMessageW(rotation, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), L"過去30日間");

    ASSERT_TRUE(ClickButton(Page(), IDC_APPLY));
    Answer(kRestartQuestion, IDNO);
    EXPECT_TRUE(WaitForPage(sheet_, IDD_LOGSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(ReadAll(), (std::vector<Value>{Sz(logFolder_), Dword(100), Dword(2), Dword(30), Dword(2),
                                             Sz(logFolder_)}));
    EXPECT_TRUE(std::filesystem::is_directory(logFolder_));
    EXPECT_TRUE(app_->Running()) << "No never restarts";
}

TEST_F(DebugLogSettings, ClearingPageDeletesTheSixValuesAndNoKeepsTheTickedFolder)
{
    Write(kDebugLogValues[0], Sz(logFolder_));
    for (std::size_t i = 1; i < std::size(kDebugLogValues); ++i) Write(kDebugLogValues[i], Dword(5));
    ASSERT_TRUE(::CreateDirectoryW((root_ / L"debug log").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(logFolder_.c_str(), nullptr));
    const std::wstring logFile = logFolder_ + L"\\QXAgent_20261130.log";
    ASSERT_TRUE(test::WriteBytes(logFile, "kept\r\n"));

    ASSERT_TRUE(Show(IDD_CLEARCOLLECTSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(EditText(IDC_LOGFOLDER), logFolder_);
    EXPECT_EQ(Text(IDC_LOGLEVEL_TEXT), L"LogLevel <REG_DWORD> 5");
    EXPECT_EQ(Text(IDC_LOGTYPE_TEXT), L"LogType <REG_DWORD> 5");
    EXPECT_EQ(Text(IDC_DUMPTYPE_TEXT), L"DumpType <REG_DWORD> 5");
    EXPECT_EQ(Text(IDC_DELETE_LOGFOLDER), L"削除する(&D)");
    ASSERT_TRUE(SetCheckBox(Page(), IDC_DELETE_LOGFOLDER, true));

    const std::optional<MessageBoxView> restart = ClearValues();
    ASSERT_TRUE(restart);
    ASSERT_TRUE(AnswerMessageBox(restart->window, IDNO));

    EXPECT_TRUE(WaitForPage(sheet_, IDD_LOGSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(test::ReadBytes(logFile), "kept\r\n") << "No deletes nothing, though 1050 is ticked";
    EXPECT_TRUE(app_->Running()) << "No never restarts";
}

// The copy of the tool that writes a restart down instead of doing it. Every
// run of it in this test program appends to one record, emptied before each
// test; a restart that it accepts ends the run, and the next test starts another.
class RecordedRestart : public DebugLogPages<&RestartRecordingExePath> {
protected:
    void SetUp() override
    {
        ::DeleteFileW(RecordFile().c_str());
        // A copy started now inherits the variable that names its record.
        ASSERT_TRUE(::SetEnvironmentVariableW(kRestartRecordVariable, RecordFile().c_str()));
        DebugLogPages::SetUp();
        ::SetEnvironmentVariableW(kRestartRecordVariable, nullptr);
    }

    // Every restart that the copy was asked for, one line each.
    static std::string Record() { return test::ReadBytes(RecordFile()); }

private:
    static const std::wstring& RecordFile()
    {
        static const TempFolder folder{L"e2e-restart"};
        static const std::wstring file = folder / L"restart record.txt";
        return file;
    }
};

// One plain restart: EWX_REBOOT (0x2), neither forced nor with a reason.
constexpr char kOneRestart[] = "ExitWindowsEx flags=0x2 reason=0x0\r\n";

TEST_F(RecordedRestart, SettingPageYesWritesTheSixValuesRestartsOnceAndTheToolCloses)
{
    for (const RegistryValueName& value : kDebugLogValues) Write(value, std::nullopt);
    Write(kDebugLogValues[0], Sz(logFolder_));
    ASSERT_TRUE(Show(IDD_COLLECTSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(EditText(IDC_LOGFOLDER), logFolder_);

    ASSERT_TRUE(ClickButton(Page(), IDC_APPLY));
    Answer(kRestartQuestion, IDYES);
    EXPECT_EQ(app_->WaitForExit(), std::optional<DWORD>{0}) << "an accepted restart closes the tool";
    EXPECT_EQ(ReadAll(), (std::vector<Value>{Sz(logFolder_), Dword(100), Dword(2), Dword(7), Dword(2),
                                             Sz(logFolder_)}));
    EXPECT_TRUE(std::filesystem::is_directory(logFolder_));
    EXPECT_EQ(Record(), kOneRestart);
}

// Where the fake machine has the product's services and the Vorlix client.
constexpr wchar_t kServicesFolder[] = L"C:\\Program Files\\Orvek\\TOVRA\\";
constexpr wchar_t kClientFolder[] = L"C:\\Program Files\\Orvek\\Vorlix\\";
constexpr const wchar_t* kServiceNames[] = {L"QXAgent.exe", L"QXArbiter.exe", L"QXLogTransfer.exe",
                                             L"QXTinyServer.exe", L"QXRemoteGateway.exe"};

// A file of the fake machine, put back as it was: the client stand-ins append
// to their trace when they start.
class FileKept {
public:
    explicit FileKept(std::wstring path) : path_(std::move(path)), bytes_(test::ReadBytes(path_, &existed_)) {}
    ~FileKept()
    {
        if (existed_) {
            EXPECT_TRUE(test::WriteBytes(path_, bytes_));
        } else {
            ::DeleteFileW(path_.c_str());
        }
    }
    FileKept(const FileKept&) = delete;
    FileKept& operator=(const FileKept&) = delete;

private:
    std::wstring path_;
    bool existed_ = false;
    std::string bytes_;
};

TEST_F(RecordedRestart, ClearingPageYesYesEndsTheServicesDeletesTheTickedFolderAndRestarts)
{
    ASSERT_EQ(Read({kProductKey, L"InstallPath"}), Sz(kServicesFolder)) << "the product's install folder";
    ASSERT_EQ(Read({L"SOFTWARE\\Orvek\\VLX\\Client", L"Install"}), Sz(kClientFolder)) << "the client's";
    Write(kDebugLogValues[0], Sz(logFolder_));
    for (std::size_t i = 1; i < std::size(kDebugLogValues); ++i) Write(kDebugLogValues[i], Dword(5));
    const std::wstring parent = root_ / L"debug log";
    ASSERT_TRUE(::CreateDirectoryW(parent.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(logFolder_.c_str(), nullptr));
    ASSERT_TRUE(test::WriteBytes(logFolder_ + L"\\QXAgent_20261201.log", "log line\r\n"));
    ASSERT_TRUE(::CreateDirectoryW((logFolder_ + L"\\old").c_str(), nullptr));
    ASSERT_TRUE(test::WriteBytes(logFolder_ + L"\\old\\QXAgent_20261101.log", "older line\r\n"));

    // The product's services and the client where the fake machine installed
    // them; and programs that are none of them: the server's service under its
    // own name, and the client's logging build.
    const FileKept trace(std::wstring(kClientFolder) + L"vorlix-trace.txt");
    test::StartedProcesses started;
    std::vector<std::pair<std::wstring, HANDLE>> product;
    for (const wchar_t* name : kServiceNames) {
        product.emplace_back(name, started.Add(test::StartStandIn(std::wstring(kServicesFolder) + name)));
    }
    product.emplace_back(L"Vorlix.exe", started.Add(test::StartStandIn(std::wstring(kClientFolder) + L"Vorlix.exe")));
    const HANDLE server = started.Add(
        test::StartCopyOf(std::wstring(kServicesFolder) + L"QXAgent.exe", root_ / L"QXServer.exe"));
    const HANDLE logBuild = started.Add(test::StartStandIn(std::wstring(kClientFolder) + L"VorlixLog.exe"));
    for (const auto& [name, process] : product) ASSERT_TRUE(process) << name << " of the fake machine";
    ASSERT_TRUE(server && logBuild);

    ASSERT_TRUE(Show(IDD_CLEARCOLLECTSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(EditText(IDC_LOGFOLDER), logFolder_);
    ASSERT_TRUE(SetCheckBox(Page(), IDC_DELETE_LOGFOLDER, true));

    const std::optional<MessageBoxView> restart = ClearValues();
    ASSERT_TRUE(restart);
    for (const auto& [name, process] : product) EXPECT_TRUE(test::StillRunning(process)) << name << " before Yes";
    ASSERT_TRUE(AnswerMessageBox(restart->window, IDYES));

    EXPECT_EQ(app_->WaitForExit(), std::optional<DWORD>{0}) << "an accepted restart closes the tool";
    for (const auto& [name, process] : product) EXPECT_TRUE(test::EndedWithCodeZero(process)) << name;
    EXPECT_TRUE(test::StillRunning(server)) << "QXServer.exe is no name that the page ends";
    EXPECT_TRUE(test::StillRunning(logBuild)) << "nor VorlixLog.exe";
    EXPECT_FALSE(std::filesystem::exists(logFolder_)) << "the ticked folder goes with all it holds";
    EXPECT_TRUE(std::filesystem::is_directory(parent));
    EXPECT_EQ(Record(), kOneRestart);
}

}  // namespace
}  // namespace qx::e2e
