// Collections made through the tool's own windows, as a user makes them: the
// real folder picker, the progress dialog and the message boxes that end a run,
// checked against the run log's bytes and the folders left behind.

#include "driver.h"
#include "files_fixture.h"
#include "registry_fixture.h"
#include "resource.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace qx::e2e {
namespace {

using test::ReadBytes;
using test::TempFolder;

// "\tTOVRA クライアント", an installed product of the fake machine, in code page 932.
constexpr char kClientLine932[] = "\tTOVRA \x83\x4E\x83\x89\x83\x43\x83\x41\x83\x93\x83\x67\r\n";

constexpr std::array<const wchar_t*, 5> kItemFolders{L"event", L"debug", L"dump", L"registry", L"vorlix"};

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Every line ends with CR LF, and there is no CR or LF besides.
bool OnlyCrLfLineEnds(const std::string& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
    }
    return bytes.ends_with("\r\n");
}

std::string LastLine(const std::string& bytes)
{
    const size_t start = bytes.size() < 3 ? 0 : bytes.rfind('\n', bytes.size() - 3);
    return bytes.substr(start == std::string::npos ? 0 : start + 1);
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Every test starts on the collection page with all five items checked and a
// fresh folder to choose.
class Collection : public CollectionPage<> {
protected:
    void SetUp() override
    {
        CollectionPage::SetUp();
        if (HasFatalFailure()) return;
        page_ = Page();
        pid_ = app_->ProcessId();
        ASSERT_NO_FATAL_FAILURE(CheckItems(true));
    }

    HWND SaveButton() const { return ::GetDlgItem(page_, IDC_SAVE); }
    std::string RunLog() const { return ReadBytes(Output(L"QXDIAG.log")); }

    // Waits for the progress dialog to close by itself and for the box that
    // reports the outcome.
    std::optional<MessageBoxView> Outcome(HWND progress)
    {
        EXPECT_TRUE(WaitUntilGone(progress, kRunTimeout)) << "the progress dialog stays open";
        return WaitForMessageBox(pid_, nullptr);
    }

    HWND page_ = nullptr;
    DWORD pid_ = 0;
};

TEST_F(Collection, SavesEveryItemIntoTheChosenFolderBehindAModalProgressDialog)
{
    ASSERT_TRUE(ClickButton(page_, IDC_SAVE));
    HWND picker = WaitForFolderPicker(pid_, sheet_);
    ASSERT_NE(picker, nullptr) << "no folder picker owned by the main window";
    EXPECT_EQ(TextOf(picker), L"保存先フォルダーを指定してください");
    EXPECT_FALSE(::IsWindowEnabled(SaveButton()));
    ASSERT_TRUE(ChooseFolder(picker, chosen_.Path())) << "the picker did not take the typed folder";

    HWND progress = WaitForDialog(pid_, kProgressCaption, sheet_);
    ASSERT_NE(progress, nullptr) << "no progress dialog owned by the main window";
    EXPECT_FALSE(::IsWindowEnabled(sheet_)) << "the main window waits behind the modal progress dialog";
    const std::optional<MessageBoxView> done = Outcome(progress);
    ASSERT_TRUE(done) << "no message box without owner after the run";
    EXPECT_EQ(done->caption, kSaveCaption);
    EXPECT_EQ(done->text, L"情報収集が完了しました。保存フォルダーを開きますか？");
    EXPECT_EQ(done->buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(::IsWindowEnabled(sheet_)) << "the box has no owner: the main window is usable again";
    ASSERT_TRUE(AnswerMessageBox(done->window, IDNO));
    ASSERT_TRUE(AnswerArchiveQuestion(pid_, IDNO)) << "no archive question after the run";
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(SaveButton()) != FALSE; }));
    EXPECT_EQ(ShownWindowCount(pid_), 1) << "No opens nothing";
    EXPECT_EQ(NamesIn(chosen_.Path()), std::set<std::wstring>{L"QXDIAG"}) << "No to the archive makes none";

    const std::string log = RunLog();
    EXPECT_EQ(log.rfind(kSeparatorLine, 0), 0u) << "the run opens with the separator line";
    EXPECT_TRUE(log.ends_with(kSeparatorLine)) << "a completed run ends with it; last line: " << LastLine(log);
    EXPECT_EQ(CountOf(log, kSeparatorLine), 2u);
    EXPECT_TRUE(OnlyCrLfLineEnds(log));
    EXPECT_FALSE(DecodeCodePage932(log).empty()) << "the run log is code page 932";
    EXPECT_NE(log.find(kClientLine932), std::string::npos) << "the installed software in code page 932";
    for (const wchar_t* name : kItemFolders) EXPECT_TRUE(IsFolder(Output(name))) << name;

    // The manifest and the report, read by Python and a real browser.
    const std::string shot = test::UnixPath(chosen_ / L"report.png");
    EXPECT_TRUE(test::RunUnixProgram("/usr/bin/python3", {QX_BUNDLE_CHECKER, test::UnixPath(Output()), shot}))
        << "tests/check_bundle.py finds the bundle wrong; run it on a collection to see why";
}

TEST_F(Collection, WithoutItemsStillLogsTheSystemAndYesOpensTheFolder)
{
    ASSERT_NO_FATAL_FAILURE(CheckItems(false));
    ASSERT_FALSE(::IsWindowEnabled(::GetDlgItem(page_, IDC_EVENTLOG_DETAIL))) << "2010 off disables 1012";
    ASSERT_EQ(FindOtherProcessWindow(pid_, L"QXDIAG"), nullptr) << "a folder window \"QXDIAG\" is open already";

    // Without items the run takes no time: its progress dialog may come and go unseen.
    ASSERT_TRUE(StartCollection(*app_, chosen_.Path()));
    const std::optional<MessageBoxView> done = WaitForMessageBox(pid_, nullptr);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->text, L"情報収集が完了しました。保存フォルダーを開きますか？");
    ASSERT_TRUE(AnswerMessageBox(done->window, IDYES));
    ASSERT_TRUE(AnswerArchiveQuestion(pid_, IDNO));

    // The shell's default action on a folder: a file-manager window titled with its name.
    HWND folderWindow = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (folderWindow = FindOtherProcessWindow(pid_, L"QXDIAG")) != nullptr; }))
        << "no window of the folder QXDIAG opened";
    if (folderWindow) {
        ::PostMessageW(folderWindow, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitUntilGone(folderWindow)) << "the folder window does not close";
    }

    EXPECT_EQ(NamesIn(Output()), (std::set<std::wstring>{L"QXDIAG.log", L"index.html", L"manifest.json"}))
        << "no item, no sub-folder";
    const std::string log = RunLog();
    EXPECT_EQ(CountOf(log, kSeparatorLine), 2u);
    EXPECT_TRUE(log.ends_with(kSeparatorLine));
    EXPECT_NE(log.find(kClientLine932), std::string::npos);
}

// A log folder of many small files keeps the debug-log step copying long enough
// for a confirmed Cancel to land in it, with every later item chosen: the step
// finishes the file in hand, logs "cancel" and stops the run there.
TEST_F(Collection, CancelConfirmedDuringTheDebugLogCopyStopsTheRunAfterTheFileInHand)
{
    constexpr int kLogFiles = 2000;
    TempFolder logs{L"e2e-debuglogs"};
    for (int i = 0; i < kLogFiles; ++i) {
        const std::wstring name = L"trace" + std::to_wstring(i) + L".txt";
        ASSERT_TRUE(test::WriteBytes(logs / name, "trace " + std::to_string(i) + "\r\n")) << i;
    }
    const test::SavedValue logPath{kProductKey, L"LogPath"};
    test::SetString(kProductKey, L"LogPath", logs.Path());
    ASSERT_TRUE(SetCheckBox(page_, IDC_ITEM_EVENTLOG, false)) << "the event logs would only delay the debug logs";

    ASSERT_TRUE(StartCollection(*app_, chosen_.Path()));
    HWND progress = WaitForDialog(pid_, kProgressCaption, sheet_);
    ASSERT_NE(progress, nullptr);
    // Copying has begun once the status line names a file under the step's title.
    HWND title = ::GetDlgItem(progress, IDC_STEP_TITLE);
    HWND status = ::GetDlgItem(progress, IDC_STATUS);
    ASSERT_TRUE(WaitUntil([&] {
        return TextOf(title) == L"デバッグログ情報の取得:" &&
               TextOf(status).starts_with(L"デバッグログをコピーしています。 trace");
    })) << "step: " << testing::PrintToString(TextOf(title)) << ", status: " << testing::PrintToString(TextOf(status));
    ASSERT_TRUE(ClickButton(progress, IDC_CANCEL_RUN));
    const std::optional<MessageBoxView> confirm = WaitForMessageBox(pid_, progress);
    ASSERT_TRUE(confirm) << "no confirmation owned by the progress dialog";
    EXPECT_EQ(confirm->caption, kCancelCaption);
    EXPECT_EQ(confirm->text, L"情報収集の処理を中断しキャンセルしますか？");
    EXPECT_EQ(confirm->buttons, (std::vector<int>{IDYES, IDNO}));
    ASSERT_TRUE(AnswerMessageBox(confirm->window, IDYES));

    const std::optional<MessageBoxView> cancelled = Outcome(progress);
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->caption, kSaveCaption);
    EXPECT_EQ(cancelled->text, L"情報収集の処理を中断しました。");
    EXPECT_EQ(cancelled->buttons, std::vector<int>{IDOK});
    ASSERT_TRUE(AnswerMessageBox(cancelled->window, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(SaveButton()) != FALSE; }));

    // The log ends with the step's start, a tab line for each file copied and
    // the timed "cancel"; a stopped run has no closing separator.
    const std::string bytes = RunLog();
    EXPECT_EQ(bytes.rfind(kSeparatorLine, 0), 0u);
    EXPECT_EQ(CountOf(bytes, kSeparatorLine), 1u);
    EXPECT_TRUE(OnlyCrLfLineEnds(bytes));
    EXPECT_TRUE(std::regex_match(LastLine(bytes), std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d: cancel\r\n)")))
        << LastLine(bytes);
    const std::wstring log = DecodeCodePage932(bytes);
    ASSERT_FALSE(log.empty()) << "the run log is not code page 932";
    const std::vector<RunLogEntry> entries = RunLogEntries(log);
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries.back().text, L"cancel");
    EXPECT_TRUE(entries.back().lines.empty());
    const RunLogEntry& copy = entries[entries.size() - 2];
    EXPECT_EQ(copy.text, L"copy debug file.");

    // Every file in debug/ is a whole copy with its tab line; the rest were never copied.
    const std::set<std::wstring> copied = NamesIn(Output(L"debug"));
    EXPECT_FALSE(copied.empty());
    EXPECT_LT(copied.size(), static_cast<size_t>(kLogFiles));
    std::multiset<std::wstring> lines;
    for (const std::wstring& name : copied) {
        lines.insert(L"\t" + (logs / name));
        EXPECT_EQ(ReadBytes(Output(L"debug\\" + name)), ReadBytes(logs / name)) << testing::PrintToString(name);
    }
    EXPECT_EQ(copy.lines, lines);

    // Nothing after the debug logs ran, although every later item was chosen.
    EXPECT_EQ(NamesIn(Output()),
              (std::set<std::wstring>{L"QXDIAG.log", L"debug", L"dump", L"registry", L"vorlix"}));
    for (const wchar_t* folder : {L"dump", L"registry", L"vorlix"}) {
        EXPECT_TRUE(NamesIn(Output(folder)).empty()) << testing::PrintToString(folder);
    }
}

TEST_F(Collection, CancelledPickerEndsSaveSilently)
{
    ASSERT_TRUE(ClickButton(page_, IDC_SAVE));
    HWND picker = WaitForFolderPicker(pid_, sheet_);
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(TypeFolder(picker, chosen_.Path()));
    ASSERT_TRUE(CancelFolderPicker(picker));

    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(SaveButton()) != FALSE; }));
    EXPECT_FALSE(WaitForMessageBox(pid_, nullptr, Duration{1000})) << "a cancelled choice shows no message";
    EXPECT_EQ(ShownWindowCount(pid_), 1);
    EXPECT_TRUE(::IsWindowEnabled(sheet_));
    EXPECT_TRUE(NamesIn(chosen_.Path()).empty()) << "nothing is created";
}

// The detail dialog fits the Windows version that the tool sees: the prefix
// makes the copy qxdiag_xp.exe see Windows XP.
struct DetailCase {
    const char* name;
    std::filesystem::path (*exe)();
    std::vector<int> checkBoxes;  // all checked the first time
    bool hasPeriod;               // 133's period list, "過去7日間" the first time
};

class DetailDialog : public testing::TestWithParam<DetailCase> {};

TEST_P(DetailDialog, OpensModallyWithTheFirstTimeValuesAndCancelCloses)
{
    const DetailCase& c = GetParam();
    App app;
    ASSERT_TRUE(app.Start(c.exe())) << "CreateProcessW failed: " << ::GetLastError();
    HWND sheet = app.WaitForMainWindow();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(WaitForPage(sheet, IDD_MENU_PAGE) && GoFromMenu(sheet, IDD_EVENTLOG_PAGE)) << DescribePages(sheet);
    ASSERT_TRUE(ClickButton(CurrentPageWindow(sheet), IDC_EVENTLOG_DETAIL));

    HWND detail = WaitForDialog(app.ProcessId(), kDetailCaption, sheet);
    ASSERT_NE(detail, nullptr) << "no detail dialog owned by the main window";
    EXPECT_FALSE(::IsWindowEnabled(sheet));
    for (int id : c.checkBoxes) {
        EXPECT_EQ(::SendDlgItemMessageW(detail, id, BM_GETCHECK, 0, 0), BST_CHECKED) << "check box " << id;
    }
    EXPECT_EQ(::GetDlgItem(detail, IDC_PERIOD) != nullptr, c.hasPeriod);
    if (c.hasPeriod) {
        EXPECT_EQ(::SendDlgItemMessageW(detail, IDC_PERIOD, CB_GETCURSEL, 0, 0), 1);
    } else {
        EXPECT_EQ(::GetDlgItem(detail, IDC_SYSTEM_INFO), nullptr);
    }
    ASSERT_TRUE(ClickButton(detail, IDCANCEL));
    EXPECT_TRUE(WaitUntilGone(detail));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(sheet) != FALSE; }));

    PostSysCommand(sheet, SC_CLOSE);
    EXPECT_EQ(app.WaitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(
    ByWindowsVersion, DetailDialog,
    testing::Values(DetailCase{"Dialog133FromVista", &QxdiagExePath,
                               {IDC_SYSTEM_INFO, IDC_SYSTEM_WARNING, IDC_SYSTEM_ERROR, IDC_SYSTEM_CRITICAL,
                                IDC_APPLICATION_INFO, IDC_APPLICATION_WARNING, IDC_APPLICATION_ERROR,
                                IDC_APPLICATION_CRITICAL, IDC_SECURITY_SUCCESS, IDC_SECURITY_FAILURE},
                               true},
                    DetailCase{"Dialog139OnWindowsXp", &QxdiagXpExePath,
                               {IDC_LEGACY_SYSTEM, IDC_LEGACY_APPLICATION, IDC_LEGACY_SECURITY},
                               false}),
    [](const testing::TestParamInfo<DetailCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qx::e2e
