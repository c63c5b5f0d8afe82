// The event-log backup before Windows Vista. These tests run only in the test
// program's copy that Wine shows Windows XP (their names hold "BeforeVista").
// Wine's OpenEventLogW and BackupEventLogW report success but write nothing,
// so what is checked is what the collector does around them: the run log, the
// texts and positions, the cancel checks, and that no file is deleted first.

#include "collectors/event_logs.h"
#include "collectors/legacy_event_log.h"
#include "collect/event_log_xp_dlg.h"
#include "platform/system.h"
#include "resource.h"
#include "event_log_fixture.h"
#include "registry_fixture.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

using test::ReadBytes;
using test::RunLogLinesWithoutTimes;
using test::WriteBytes;
using namespace test::progress_events;

const std::vector<std::string> kProductLogEntries{
    "T: export eventlog 'TOVRA' >> tovra.evt",
    "T: export eventlog 'TOVRA Security' >> tovrasecurity.evt",
    "T: export eventlog 'Vorlix' >> vorlix.evt",
};
const std::string kSystemEntry = "T: export eventlog 'System' >> system.evt";
const std::string kApplicationEntry = "T: export eventlog 'Application' >> application.evt";
const std::string kSecurityEntry = "T: export eventlog 'Security' >> security.evt";

class LegacyEventLogTest : public test::EventLogTest {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(IsVistaOrLater()) << "this test runs as qxdiag_tests_xp.exe, which sees Windows XP";
    }
    std::vector<std::string> Entries(std::initializer_list<std::string> systemLogs) const
    {
        std::vector<std::string> entries = kProductLogEntries;
        entries.insert(entries.end(), systemLogs);
        return entries;
    }
};

TEST_F(LegacyEventLogTest, BeforeVistaTheWorkerBacksUpEveryLogWithTheExportsTexts)
{
    EXPECT_TRUE(CollectEventLogs(progress, runLog));
    EXPECT_EQ(RunLogLinesWithoutTimes(runLog), Entries({kSystemEntry, kApplicationEntry, kSecurityEntry}));
    EXPECT_EQ(progress.events, kEverySixSteps);
    EXPECT_TRUE(Calls().empty()) << "wevtutil is not run";
}

TEST_F(LegacyEventLogTest, BeforeVistaDialog139ChoosesTheSystemLogs)
{
    const struct {
        UINT system, application, security;
        std::vector<std::string> entries;
    } cases[] = {
        {BST_CHECKED, BST_UNCHECKED, BST_CHECKED, Entries({kSystemEntry, kSecurityEntry})},
        {BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED, Entries({kApplicationEntry})},
        {BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED, Entries({})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.system << c.application << c.security);
        CEventLogXpDlg dialog(&progress.request);
        const int seen = test::WhileRunning(IDD_EVENTLOG_XP_DLG, [&] { dialog.DoModal(nullptr); }, [&](HWND window) {
            ::CheckDlgButton(window, IDC_LEGACY_SYSTEM, c.system);
            ::CheckDlgButton(window, IDC_LEGACY_APPLICATION, c.application);
            ::CheckDlgButton(window, IDC_LEGACY_SECURITY, c.security);
            ::PostMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
        });
        ASSERT_EQ(seen, 1);
        ::DeleteFileW(runLog.c_str());
        progress.events.clear();

        EXPECT_TRUE(BackupEventLogs(progress, runLog));
        EXPECT_EQ(RunLogLinesWithoutTimes(runLog), c.entries);
    }
    EXPECT_EQ(progress.events, kProductLogsOnly) << "the three checks come all the same";
}

TEST_F(LegacyEventLogTest, BeforeVistaCancelIsSeenOnlyAtTheThreeChecks)
{
    const struct {
        int cancelAtBar;
        std::vector<std::string> entries;
        std::vector<std::wstring> lastEvents;
    } cases[] = {
        {20, Entries({kSystemEntry, "T: cancel"}), {L"bar:60", kSystemDone, L"check"}},
        {70, Entries({kSystemEntry, kApplicationEntry, "T: cancel"}), {L"bar:70", kApplicationDone, L"check"}},
        {80, Entries({kSystemEntry, kApplicationEntry, kSecurityEntry, "T: cancel"}),
         {L"bar:80", kSecurityDone, L"check"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cancelAtBar);
        test::RecordingProgress cancelling;
        cancelling.request.OutputFolder = Output();
        cancelling.cancelAtBar = c.cancelAtBar;
        ::DeleteFileW(runLog.c_str());

        EXPECT_FALSE(BackupEventLogs(cancelling, runLog));
        EXPECT_EQ(RunLogLinesWithoutTimes(runLog), c.entries);
        ASSERT_GE(cancelling.events.size(), c.lastEvents.size());
        EXPECT_EQ(std::vector<std::wstring>(cancelling.events.end() - c.lastEvents.size(), cancelling.events.end()),
                  c.lastEvents);
    }
}

// For a name it does not know, the service would back up its Application log.
TEST_F(LegacyEventLogTest, BeforeVistaALogTheServiceDoesNotKnowIsSkippedWithATimedLine)
{
    const std::wstring vorlixKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Vorlix";
    const test::MovedAside aside({vorlixKey});
    progress.request.LegacySecurityLog = 0;
    EXPECT_TRUE(BackupEventLogs(progress, runLog));

    std::vector<std::string> lines = RunLogLinesWithoutTimes(runLog);
    ASSERT_EQ(lines.size(), 6u);
    const std::string skip = "T: export eventlog 'Vorlix' skipped. no key SYSTEM\\CurrentControlSet\\Services\\"
                             "EventLog\\Vorlix (2:";
    EXPECT_EQ(lines[3].substr(0, skip.size()), skip) << lines[3];
    EXPECT_GT(lines[3].size(), skip.size() + 2) << "with the system's text";
    EXPECT_EQ(lines[3].back(), ')');
    lines.erase(lines.begin() + 3);
    EXPECT_EQ(lines, Entries({kSystemEntry, kApplicationEntry}));
}

TEST_F(LegacyEventLogTest, BeforeVistaBackupFromAnEarlierRunIsLeftUnchanged)
{
    const std::vector<std::wstring> files{L"tovra.evt", L"system.evt", L"security.evt"};
    for (const std::wstring& file : files) ASSERT_TRUE(WriteBytes(Event(file), "earlier run"));
    const std::string ownDacl = test::DaclBytes(Event(files[0]));
    EXPECT_TRUE(BackupEventLogs(progress, runLog));
    for (const std::wstring& file : files) {
        bool exists = false;
        EXPECT_EQ(ReadBytes(Event(file), &exists), "earlier run");
        EXPECT_TRUE(exists);
        EXPECT_EQ(test::DaclBytes(Event(file)), ownDacl) << "an earlier file keeps its own security";
    }
}

}  // namespace
}  // namespace qx
