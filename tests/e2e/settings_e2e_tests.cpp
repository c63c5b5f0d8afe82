// The debug-log setting and clearing pages of QXDIAG.exe driven from outside on
// the fake machine: what "設定" leaves in the registry and in a log folder of
// the test's own. Every restart question is answered No, since a Yes would end
// every windowed program of the prefix. The six values are put back as they were.

#include "driver.h"
#include "files_fixture.h"
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

using test::Bytes;
using test::DwordBytes;
using test::StringBytes;
using test::TempFolder;

constexpr wchar_t kReportingKey[] = L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting";


using Value = std::optional<std::pair<DWORD, Bytes>>;

Value Read(const RegistryValueName& value)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, value.key, value.name, flags, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    Bytes bytes(size);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, value.key, value.name, flags, &type, bytes.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    bytes.resize(size);
    return std::make_pair(type, std::move(bytes));
}
Value Sz(const std::wstring& text) { return std::make_pair(DWORD{REG_SZ}, StringBytes(text)); }
Value Dword(DWORD number) { return std::make_pair(DWORD{REG_DWORD}, DwordBytes(number)); }

std::vector<Value> ReadAll()
{
    std::vector<Value> values;
    for (const RegistryValueName& value : kDebugLogValues) values.push_back(Read(value));
    return values;
}

void Write(const RegistryValueName& value, const Value& data)
{
    if (data) {
        test::SetValue(value.key, value.name, data->first, data->second);
    } else {
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, value.key, value.name);
    }
}

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
    std::vector<Value> values_;
    bool reportingExisted_;
    bool localDumpsExisted_;
};

// Both pages are reached from page 148 and lead back to it, so one run of the
// tool serves the two tests.
class DebugLogSettings : public ToolOnPage<IDD_LOGSETTING_PAGE> {
protected:
    void SetUp() override
    {
        ToolOnPage::SetUp();
        if (HasFatalFailure()) return;
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

    // Waits for the standard message box, checks it and answers it.
    void Answer(const wchar_t* text, int answer)
    {
        const std::optional<MessageBoxView> box = WaitForMessageBox(pid_, sheet_);
        ASSERT_TRUE(box) << "no message box owned by the main window";
        EXPECT_EQ(box->caption, kBoxCaption);
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
        ASSERT_TRUE(AnswerMessageBox(box->window, answer));
    }

    const SavedValues saved_;
    TempFolder root_{L"e2e-settings"};
    std::wstring logFolder_;
    DWORD pid_ = 0;
};

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
    if (::SendDlgItemMessageW(Page(), IDC_DELETE_LOGFOLDER, BM_GETCHECK, 0, 0) != BST_CHECKED) {
        ASSERT_TRUE(ClickButton(Page(), IDC_DELETE_LOGFOLDER));
    }
    ASSERT_TRUE(WaitUntil(
        [&] { return ::SendDlgItemMessageW(Page(), IDC_DELETE_LOGFOLDER, BM_GETCHECK, 0, 0) == BST_CHECKED; }));

    ASSERT_TRUE(ClickButton(Page(), IDC_APPLY));
    Answer(kClearQuestion, IDYES);
    // The values go before the restart question is asked.
    const std::optional<MessageBoxView> restart = WaitForMessageBox(pid_, sheet_);
    ASSERT_TRUE(restart);
    EXPECT_EQ(ReadAll(), std::vector<Value>(std::size(kDebugLogValues), std::nullopt));
    EXPECT_EQ(restart->text, kClearRestartQuestion);
    EXPECT_EQ(restart->caption, kBoxCaption);
    ASSERT_TRUE(AnswerMessageBox(restart->window, IDNO));

    EXPECT_TRUE(WaitForPage(sheet_, IDD_LOGSETTING_PAGE)) << DescribePages(sheet_);
    EXPECT_EQ(test::ReadBytes(logFile), "kept\r\n") << "No deletes nothing, though 1050 is ticked";
    EXPECT_TRUE(app_->Running()) << "No never restarts";
}

}  // namespace
}  // namespace qx::e2e
