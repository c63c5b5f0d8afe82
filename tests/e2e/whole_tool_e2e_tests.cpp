// The whole tool on the fake machine of tests/machine, driven through its own
// windows: what a full collection leaves behind, file by file and line by line,
// a second collection into the same folder, and the server part switching the
// settings off on the menu page.

#include "driver.h"
#include "files_fixture.h"
#include "registry_fixture.h"
#include "resource.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace qx::e2e {
namespace {

using test::ReadBytes;
using test::TempFolder;

constexpr char kSeparator[] = "---------------------------------------------------------------------------\r\n";

// The run log as text: it is written in code page 932.
std::wstring Decode932(const std::string& bytes)
{
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length);
    return text;
}

// A run log cut into its entries: the text after each time stamp, with the
// tab lines that follow it. The files of a folder are listed in the order that
// the file system gives them, so those lines are a set.
struct Entry {
    std::wstring text;
    std::set<std::wstring> lines;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> EntriesOfLog(const std::wstring& log)
{
    static const std::wregex stamped(LR"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d: (.*))");
    std::vector<Entry> entries;
    std::wsmatch match;
    for (size_t at = 0, end; at < log.size(); at = end + 2) {
        end = log.find(L"\r\n", at);
        if (end == std::wstring::npos) break;
        const std::wstring line = log.substr(at, end - at);
        if (std::regex_match(line, match, stamped)) {
            entries.push_back({match[1], {}});
        } else if (!entries.empty() && !line.empty() && line[0] == L'\t') {
            entries.back().lines.insert(line);
        }
    }
    return entries;
}

std::set<std::wstring> NamesIn(const std::wstring& folder)
{
    std::set<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// Each test starts on the collection page with every item in the state it asks
// for, and saves into a folder of its own.
class WholeTool : public ToolOnPage<IDD_EVENTLOG_PAGE> {
protected:
    void CheckItems(bool checked)
    {
        HWND page = CurrentPageWindow(sheet_);
        const LRESULT wanted = checked ? BST_CHECKED : BST_UNCHECKED;
        for (int id : {IDC_ITEM_EVENTLOG, IDC_ITEM_DEBUGLOG, IDC_ITEM_CRASHDUMP, IDC_ITEM_REGISTRY, IDC_ITEM_VORLIX}) {
            if (::SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == wanted) continue;
            ASSERT_TRUE(ClickButton(page, id));
            ASSERT_TRUE(WaitUntil([&] { return ::SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == wanted; }))
                << "item " << id;
        }
    }

    // Saves into the chosen folder and answers No to opening it; the run has
    // ended once its box is there.
    void Collect()
    {
        const DWORD pid = app_->ProcessId();
        ASSERT_TRUE(StartCollection(*app_, chosen_.Path()));
        HWND progress = FindDialog(pid, kProgressCaption, sheet_);
        if (progress) {
            ASSERT_TRUE(WaitUntilGone(progress, kRunTimeout)) << "the progress dialog stays open";
        }
        const std::optional<MessageBoxView> done = WaitForMessageBox(pid, nullptr, kRunTimeout);
        ASSERT_TRUE(done) << "no message box at the end of the run";
        EXPECT_EQ(done->text, L"情報収集が完了しました。保存フォルダーを開きますか？");
        ASSERT_TRUE(AnswerMessageBox(done->window, IDNO));
        HWND save = ::GetDlgItem(CurrentPageWindow(sheet_), IDC_SAVE);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(save) != FALSE; }));
    }

    std::wstring Output(const std::wstring& below = {}) const
    {
        return chosen_.Path() + L"\\QXDIAG" + (below.empty() ? L"" : L"\\" + below);
    }

    TempFolder chosen_{L"e2e-whole"};
};

TEST_F(WholeTool, ASecondCollectionIntoTheSameFolderAppendsItsOwnFramedBlock)
{
    CheckItems(false);
    ASSERT_NO_FATAL_FAILURE(Collect());
    const std::string first = ReadBytes(Output(L"QXDIAG.log"));
    ASSERT_NO_FATAL_FAILURE(Collect());
    const std::string both = ReadBytes(Output(L"QXDIAG.log"));

    ASSERT_EQ(both.rfind(first, 0), 0u) << "the first run's block is kept as it was";
    const std::string second = both.substr(first.size());
    for (const std::string& block : {first, second}) {
        EXPECT_EQ(block.rfind(kSeparator, 0), 0u) << block;
        ASSERT_GT(block.size(), 2 * sizeof(kSeparator));
        EXPECT_EQ(block.substr(block.size() - (sizeof(kSeparator) - 1)), kSeparator) << block;
        EXPECT_EQ(block.find(kSeparator, 1), block.size() - (sizeof(kSeparator) - 1)) << "two separators a block";
        EXPECT_EQ(EntriesOfLog(Decode932(block)).front().text, L"os version:");
    }
}

TEST_F(WholeTool, FullCollectionOfTheFakeMachine)
{
    CheckItems(true);
    ASSERT_NO_FATAL_FAILURE(Collect());

    EXPECT_EQ(NamesIn(Output()),
              (std::set<std::wstring>{L"QXDIAG.log", L"debug", L"dump", L"event", L"registry", L"vorlix"}));

    // debug/: the .txt files of the log folder and its .log files, among them
    // one that only its 8.3 short name makes match; never the sub-folder "old.log".
    const std::map<std::wstring, std::wstring> debug{
        {L"QXAgent_trace_20261201.txt", L"C:\\Log\\"},
        {L"QXAgent_20261201.log", L"C:\\log\\"},
        {L"QXArbiter_20261201.log", L"C:\\log\\"},
        {L"QXAgent_20261130.log1", L"C:\\log\\"},
    };
    std::set<std::wstring> debugNames;
    std::set<std::wstring> debugLines;
    for (const auto& [name, folder] : debug) {
        debugNames.insert(name);
        debugLines.insert(L"\t" + folder + name);
        EXPECT_EQ(ReadBytes(Output(L"debug\\" + name)), ReadBytes(L"C:\\Log\\" + name)) << name;
    }
    EXPECT_EQ(NamesIn(Output(L"debug")), debugNames);

    EXPECT_EQ(NamesIn(Output(L"dump")),
              (std::set<std::wstring>{L"QXAgent.exe.4312.dmp", L"QXArbiter_20261201_101530.mdmp",
                                      L"QXArbiter_crash_20261201.log"}));

    // registry/: the four trees, secrets masked whatever the case of their names.
    const std::vector<std::wstring> trees{L"orvek.reg", L"poricies_orvek.reg", L"wow6432node_orvek.reg",
                                          L"wow6432node_poricies_orvek.reg"};
    EXPECT_EQ(NamesIn(Output(L"registry")), std::set<std::wstring>(trees.begin(), trees.end()));
    const std::string orvek = ReadBytes(Output(L"registry\\orvek.reg"));
    for (const char* masked : {"AdminPassword=****\r\n", "OtpSeed=****\r\n", "TotpSEED=****\r\n",
                               "DbPassword=****\r\n", "UserPassPhrase=****\r\n", "Bypass=****\r\n"}) {
        EXPECT_NE(orvek.find(masked), std::string::npos) << masked;
    }
    EXPECT_NE(orvek.find("ServerName=tovra-srv01.example.local\r\n"), std::string::npos);
    for (const std::wstring& tree : trees) {
        const std::string bytes = ReadBytes(Output(L"registry\\" + tree));
        for (const char* secret : {"hunter2", "s3cret", "never exported", "old-32-bit-secret", "policy-seed"}) {
            EXPECT_EQ(bytes.find(secret), std::string::npos) << secret << " in " << testing::PrintToString(tree);
        }
    }

    // event/: one backup a channel, made by the stand-in wevtutil.
    const std::set<std::wstring> backups{L"tovra.evtx",  L"tovrasecurity.evtx", L"vorlix.evtx",
                                         L"system.evtx", L"application.evtx",   L"security.evtx"};
    EXPECT_EQ(NamesIn(Output(L"event")), backups);
    for (const std::wstring& backup : backups) {
        EXPECT_EQ(ReadBytes(Output(L"event\\" + backup)).rfind("QXDIAG fake evtx\r\n", 0), 0u)
            << testing::PrintToString(backup);
    }

    // vorlix/: a name that code page 932 cannot hold is copied all the same.
    EXPECT_EQ(NamesIn(Output(L"vorlix")),
              (std::set<std::wstring>{L"profile.vlx", L"settings.vlx", L"thème-café.vlx"}));
    EXPECT_EQ(ReadBytes(Output(L"vorlix\\thème-café.vlx")), "theme=dark\r\n");

    const std::string bytes = ReadBytes(Output(L"QXDIAG.log"));
    EXPECT_EQ(bytes.rfind(kSeparator, 0), 0u);
    ASSERT_GT(bytes.size(), sizeof(kSeparator));
    EXPECT_EQ(bytes.substr(bytes.size() - (sizeof(kSeparator) - 1)), kSeparator);
    const std::wstring log = Decode932(bytes);
    ASSERT_FALSE(log.empty()) << "the run log is not code page 932";

    const std::wstring vlx = Environment(L"APPDATA") + L"\\Orvek\\VLXForTOVRA\\";
    const std::vector<Entry> expected{
        {L"os version:", {L"\tmajor:10, minor:0, build:18362"}},
        {L"install software:", {}},
        {L"\tTOVRA クライアント", {L"\tVorlix"}},
        {L"export eventlog 'TOVRA'", {}},
        {L"export eventlog 'TOVRA Security'", {}},
        {L"export eventlog 'Vorlix'", {}},
        {L"export eventlog 'System'", {}},
        {L"export eventlog 'Application'", {}},
        {L"export eventlog 'Security'", {}},
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
    };
    std::vector<Entry> entries = EntriesOfLog(log);
    // The event log entries' file and filter lines are the event log tests' concern.
    for (Entry& entry : entries) {
        if (entry.text.starts_with(L"export eventlog ")) entry.lines.clear();
    }
    ASSERT_EQ(entries.size(), expected.size()) << testing::PrintToString(log);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].text, expected[i].text) << "entry " << i;
        EXPECT_EQ(entries[i].lines, expected[i].lines) << testing::PrintToString(entries[i].text);
    }
}

// "ServerPath" naming a folder that holds "QXServer.exe" marks the server part
// as installed: the menu page then offers no debug-log settings.
struct ServerCase {
    const char* name;
    bool serverInstalled;
};

class ServerVariant : public testing::TestWithParam<ServerCase> {};

TEST_P(ServerVariant, DebugLogSettingsAreOfferedOnlyWithoutTheServer)
{
    constexpr wchar_t kServerKey[] = L"SOFTWARE\\Orvek\\TOVRA\\Server";
    const test::MovedAside restored{{kServerKey}};
    TempFolder server{L"e2e-server"};
    if (GetParam().serverInstalled) {
        ASSERT_TRUE(::CopyFileW(QxdiagExePath().c_str(), (server / L"QXServer.exe").c_str(), TRUE));
        test::SetString(kServerKey, L"ServerPath", server.Path());
    }

    App app;
    ASSERT_TRUE(app.Start()) << "CreateProcessW failed: " << ::GetLastError();
    HWND sheet = app.WaitForMainWindow();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(WaitForPage(sheet, IDD_MENU_PAGE)) << DescribePages(sheet);
    HWND logSettings = ::GetDlgItem(CurrentPageWindow(sheet), IDC_MENU_LOGSETTING);
    ASSERT_NE(logSettings, nullptr);
    EXPECT_EQ(TextOf(logSettings), L"TOVRAデバッグログの設定");
    EXPECT_EQ(::IsWindowEnabled(logSettings) != FALSE, !GetParam().serverInstalled);

    PostSysCommand(sheet, SC_CLOSE);
    EXPECT_EQ(app.WaitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(OnTheFakeMachine, ServerVariant,
                         testing::Values(ServerCase{"ClientOnly", false}, ServerCase{"WithServerPart", true}),
                         [](const testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qx::e2e
