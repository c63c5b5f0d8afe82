#pragma once
// One run of the tool serves every test of a suite that leaves it as it found
// it: on page `PageId`, with no other window open. A test that stops half-way
// leaves it otherwise; the next test then starts a new run. The tool is
// QXDIAG.exe, or the copy that `Exe` names.
// Below: collections made on the collection page, and what a full collection
// of the fake machine of tests/machine leaves behind.

#include "driver.h"
#include "files_fixture.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qx::e2e {

template <int PageId, std::filesystem::path (*Exe)() = &QxdiagExePath>
class ToolOnPage : public testing::Test {
protected:
    static void TearDownTestSuite()
    {
        if (app_ && app_->Running()) {
            PostSysCommand(app_->MainWindow(), SC_CLOSE);
            if (!app_->WaitForExit()) app_->Kill();
        }
        app_.reset();
    }

    void SetUp() override
    {
        if (!app_ || !app_->Running() || ShownWindowCount(app_->ProcessId()) != 1 ||
            !::IsWindowEnabled(app_->MainWindow()) || CurrentPageId(app_->MainWindow()) != PageId) {
            app_ = std::make_unique<App>();
            ASSERT_TRUE(app_->Start(Exe())) << "CreateProcessW failed: " << ::GetLastError();
            ASSERT_NE(app_->WaitForMainWindow(), nullptr) << "no main window \"TOVRA DIAG\"";
            ASSERT_TRUE(WaitForPage(app_->MainWindow(), IDD_MENU_PAGE)) << DescribePages(app_->MainWindow());
            ASSERT_TRUE(GoFromMenu(app_->MainWindow(), PageId)) << "page shown: " << DescribePages(app_->MainWindow());
        }
        sheet_ = app_->MainWindow();
        ASSERT_TRUE(WaitForPage(sheet_, PageId)) << "page shown: " << DescribePages(sheet_);
    }

    static inline std::unique_ptr<App> app_;
    HWND sheet_ = nullptr;
};

using ToolOnMenu = ToolOnPage<IDD_MENU_PAGE>;

inline constexpr char kSeparatorLine[] =
    "---------------------------------------------------------------------------\r\n";

// Each test starts on the collection page and saves into a folder of its own.
template <std::filesystem::path (*Exe)() = &QxdiagExePath>
class CollectionPage : public ToolOnPage<IDD_EVENTLOG_PAGE, Exe> {
protected:
    HWND Page() const { return CurrentPageWindow(this->sheet_); }

    // Puts all five item check boxes in state `checked`.
    void CheckItems(bool checked)
    {
        for (int id : ItemCheckBoxes()) ASSERT_TRUE(SetCheckBox(Page(), id, checked)) << "item " << id;
    }

    // Saves into the chosen folder and answers No to opening it; the run has
    // ended once its box is there.
    void Collect()
    {
        const DWORD pid = this->app_->ProcessId();
        ASSERT_TRUE(StartCollection(*this->app_, chosen_.Path()));
        HWND progress = FindDialog(pid, kProgressCaption, this->sheet_);
        if (progress) {
            ASSERT_TRUE(WaitUntilGone(progress, kRunTimeout)) << "the progress dialog stays open";
        }
        const std::optional<MessageBoxView> done = WaitForMessageBox(pid, nullptr, kRunTimeout);
        ASSERT_TRUE(done) << "no message box at the end of the run";
        EXPECT_EQ(done->text, L"情報収集が完了しました。保存フォルダーを開きますか？");
        ASSERT_TRUE(AnswerMessageBox(done->window, IDNO));
        ASSERT_TRUE(AnswerArchiveQuestion(this->app_->ProcessId(), IDNO)) << "no archive question after the run";
        HWND save = ::GetDlgItem(Page(), IDC_SAVE);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(save) != FALSE; }));
    }

    // The output folder "QXDIAG" in the chosen folder, or a path below it.
    std::wstring Output(const std::wstring& below = {}) const
    {
        return chosen_.Path() + L"\\QXDIAG" + (below.empty() ? L"" : L"\\" + below);
    }

    // The entries of a run log that holds one completed run: framed by the
    // separator line, in code page 932.
    std::vector<RunLogEntry> CompletedRunLogEntries() const
    {
        const std::string bytes = test::ReadBytes(Output(L"QXDIAG.log"));
        EXPECT_EQ(bytes.rfind(kSeparatorLine, 0), 0u);
        EXPECT_TRUE(bytes.ends_with(kSeparatorLine));
        const std::wstring log = DecodeCodePage932(bytes);
        EXPECT_FALSE(log.empty()) << "the run log is not code page 932";
        return RunLogEntries(log);
    }

    test::TempFolder chosen_{L"e2e-collect"};
};

// The fake machine's debug logs by name, with the folder that the run log
// names them in: the .txt files of the log folder and its .log files, among
// them one that only its 8.3 short name makes match; never the sub-folder "old.log".
inline const std::map<std::wstring, std::wstring>& FakeMachineDebugLogs()
{
    static const std::map<std::wstring, std::wstring> logs{
        {L"QXAgent_trace_20261201.txt", L"C:\\Log\\"},
        {L"QXAgent_20261201.log", L"C:\\log\\"},
        {L"QXArbiter_20261201.log", L"C:\\log\\"},
        {L"QXAgent_20261130.log1", L"C:\\log\\"},
    };
    return logs;
}

// What a full collection of the fake machine leaves in the output folder
// `output` besides the event logs: the copied debug logs, dumps and Vorlix
// files, and the registry with every secret masked whatever the case of its name.
inline void ExpectFakeMachineItems(const std::wstring& output)
{
    std::set<std::wstring> debugNames;
    for (const auto& [name, folder] : FakeMachineDebugLogs()) {
        debugNames.insert(name);
        EXPECT_EQ(test::ReadBytes(output + L"\\debug\\" + name), test::ReadBytes(L"C:\\Log\\" + name)) << name;
    }
    EXPECT_EQ(NamesIn(output + L"\\debug"), debugNames);

    EXPECT_EQ(NamesIn(output + L"\\dump"),
              (std::set<std::wstring>{L"QXAgent.exe.4312.dmp", L"QXArbiter_20261201_101530.mdmp",
                                      L"QXArbiter_crash_20261201.log"}));

    // registry/: the four trees.
    const std::vector<std::wstring> trees{L"orvek.reg", L"poricies_orvek.reg", L"wow6432node_orvek.reg",
                                          L"wow6432node_poricies_orvek.reg"};
    EXPECT_EQ(NamesIn(output + L"\\registry"), std::set<std::wstring>(trees.begin(), trees.end()));
    const std::string orvek = test::ReadBytes(output + L"\\registry\\orvek.reg");
    for (const char* masked : {"AdminPassword=****\r\n", "OtpSeed=****\r\n", "TotpSEED=****\r\n",
                               "DbPassword=****\r\n", "UserPassPhrase=****\r\n", "Bypass=****\r\n"}) {
        EXPECT_NE(orvek.find(masked), std::string::npos) << masked;
    }
    EXPECT_NE(orvek.find("ServerName=tovra-srv01.example.local\r\n"), std::string::npos);
    for (const std::wstring& tree : trees) {
        const std::string bytes = test::ReadBytes(output + L"\\registry\\" + tree);
        for (const char* secret : {"hunter2", "s3cret", "never exported", "old-32-bit-secret", "policy-seed"}) {
            EXPECT_EQ(bytes.find(secret), std::string::npos) << secret << " in " << testing::PrintToString(tree);
        }
    }

    // vorlix/: a name that code page 932 cannot hold is copied all the same.
    EXPECT_EQ(NamesIn(output + L"\\vorlix"),
              (std::set<std::wstring>{L"profile.vlx", L"settings.vlx", L"thème-café.vlx"}));
    EXPECT_EQ(test::ReadBytes(output + L"\\vorlix\\thème-café.vlx"), "theme=dark\r\n");
}

// The run log of a full collection of the fake machine, with the entries of
// its event-log step as given.
inline std::vector<RunLogEntry> FakeMachineRunLog(const std::wstring& osVersionLine,
                                                  const std::vector<RunLogEntry>& eventLogEntries)
{
    std::multiset<std::wstring> debugLines;
    for (const auto& [name, folder] : FakeMachineDebugLogs()) debugLines.insert(L"\t" + folder + name);
    const std::wstring vlx = EnvironmentVariable(L"APPDATA") + L"\\Orvek\\VLXForTOVRA\\";
    std::vector<RunLogEntry> entries{
        {L"os version:", {osVersionLine}},
        {L"install software:", {}},
        {L"\tTOVRA クライアント", {L"\tVorlix"}},
    };
    entries.insert(entries.end(), eventLogEntries.begin(), eventLogEntries.end());
    entries.insert(entries.end(), {
        {L"copy debug file.", debugLines},
        {L"copy dump file.",
         {L"\tC:\\ProgramData\\Orvek\\TOVRA\\QXArbiter_20261201_101530.mdmp", L"\tC:\\Log\\QXAgent.exe.4312.dmp"}},
        {L"copy dump log file.", {L"\tC:\\ProgramData\\Orvek\\TOVRA\\QXArbiter_crash_20261201.log"}},
        {L"export registry >> orvek.reg", {}},
        {L"export registry >> poricies_orvek.reg", {}},
        {L"export registry >> wow6432node_orvek.reg", {}},
        {L"export registry >> wow6432node_poricies_orvek.reg", {}},
        {L"copy vlx file.",
         {L"\t" + vlx + L"profile.vlx", L"\t" + vlx + L"settings.vlx", L"\t" + vlx + L"th?me-caf?.vlx"}},
    });
    return entries;
}

// Compares a run log's entries one by one, so that a failure names the entry.
inline void ExpectRunLogEntries(const std::vector<RunLogEntry>& entries, const std::vector<RunLogEntry>& expected)
{
    std::vector<std::wstring> texts;
    for (const RunLogEntry& entry : entries) texts.push_back(entry.text);
    ASSERT_EQ(entries.size(), expected.size()) << testing::PrintToString(texts);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].text, expected[i].text) << "entry " << i;
        EXPECT_EQ(entries[i].lines, expected[i].lines) << testing::PrintToString(entries[i].text);
    }
}

}  // namespace qx::e2e
