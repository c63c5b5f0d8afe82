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

#include <set>
#include <string>
#include <vector>

namespace qx::e2e {
namespace {

using test::ReadBytes;
using test::TempFolder;

// Each test starts on the collection page with every item in the state it asks
// for, and saves into a folder of its own.
using WholeTool = CollectionPage<>;

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
        EXPECT_EQ(block.rfind(kSeparatorLine, 0), 0u) << block;
        ASSERT_GT(block.size(), 2 * sizeof(kSeparatorLine));
        EXPECT_EQ(block.substr(block.size() - (sizeof(kSeparatorLine) - 1)), kSeparatorLine) << block;
        EXPECT_EQ(block.find(kSeparatorLine, 1), block.size() - (sizeof(kSeparatorLine) - 1))
            << "two separators a block";
        EXPECT_EQ(RunLogEntries(DecodeCodePage932(block)).front().text, L"os version:");
    }
}

TEST_F(WholeTool, FullCollectionOfTheFakeMachine)
{
    CheckItems(true);
    ASSERT_NO_FATAL_FAILURE(Collect());

    EXPECT_EQ(NamesIn(Output()),
              (std::set<std::wstring>{L"QXDIAG.log", L"debug", L"dump", L"event", L"index.html", L"manifest.json",
                                      L"registry", L"vorlix"}));
    ExpectFakeMachineItems(Output());

    // event/: one backup a channel, made by the stand-in wevtutil.
    const std::set<std::wstring> backups{L"tovra.evtx",  L"tovrasecurity.evtx", L"vorlix.evtx",
                                         L"system.evtx", L"application.evtx",   L"security.evtx"};
    std::set<std::wstring> event = backups;
    event.insert(L"LocaleMetaData");
    EXPECT_EQ(NamesIn(Output(L"event")), event);
    // The message texts of each export, in the locales of this machine and en-US.
    for (const std::wstring& name : NamesIn(Output(L"event\\LocaleMetaData"))) {
        EXPECT_TRUE(name.ends_with(L".MTA")) << testing::PrintToString(name);
        EXPECT_TRUE(backups.count(name.substr(0, name.find(L'_')) + L".evtx")) << testing::PrintToString(name);
    }
    EXPECT_TRUE(NamesIn(Output(L"event\\LocaleMetaData")).count(L"tovra_en-US.MTA"));
    for (const std::wstring& backup : backups) {
        EXPECT_EQ(ReadBytes(Output(L"event\\" + backup)).rfind("QXDIAG fake evtx\r\n", 0), 0u)
            << testing::PrintToString(backup);
    }

    std::vector<RunLogEntry> entries = CompletedRunLogEntries();
    // The event log entries' file and filter lines are the event log tests' concern.
    for (RunLogEntry& entry : entries) {
        if (entry.text.starts_with(L"export eventlog ")) entry.lines.clear();
    }
    ExpectRunLogEntries(entries, FakeMachineRunLog(L"\tmajor:10, minor:0, build:18362",
                                                   {
                                                       {L"export eventlog 'TOVRA'", {}},
                                                       {L"export eventlog 'TOVRA Security'", {}},
                                                       {L"export eventlog 'Vorlix'", {}},
                                                       {L"export eventlog 'System'", {}},
                                                       {L"export eventlog 'Application'", {}},
                                                       {L"export eventlog 'Security'", {}},
                                                   }));
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
