// The event-log export with wevtutil: the XPath pieces, the parameters that
// reach the stand-in wevtutil.exe in the prefix's system directory, the run
// log, what the progress dialog shows, and the three cancel checks.

#include "collectors/event_log_export.h"
#include "collectors/event_logs.h"
#include "collect/prog_dlg.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "resource.h"
#include "event_log_fixture.h"
#include "ui_test_support.h"

#include <commctrl.h>
#include <tlhelp32.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::EventLogTest;
using namespace test::progress_events;
using test::ReadBytes;
using test::RunLogLinesWithoutTimes;
using test::SystemFolder;
using test::TempFolder;
using test::WriteBytes;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// 2024-05-01 03:00:00 UTC.
constexpr std::int64_t kNow = 1714532400;
const std::wstring kWeek =
    L"*[System[TimeCreated[@SystemTime>='2024-04-24T03:00:00' and @SystemTime<'2024-05-01T03:00:00']]]";
const std::string kWeekFilterLine = "\tfilter: 2024/04/24 03:00:00~2024/05/01 03:00:00";
const std::wstring kAllLevels = L"((Level=4) or (Level=0) or (Level=3) or (Level=2) or (Level=1))";

TEST(FormatXPathTime, UtcCalendarFieldsOrEmpty)
{
    const struct {
        std::int64_t seconds;
        const wchar_t* text;
    } cases[] = {
        {0, L"1970-01-01T00:00:00"},
        {kNow, L"2024-05-01T03:00:00"},
        {1709210096, L"2024-02-29T12:34:56"},
        {253402300799, L"9999-12-31T23:59:59"},
        {253402300800, L""},
        {-1, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatXPathTime(c.seconds), c.text) << c.seconds;
}

TEST(BuildLevelFilter, ChosenLevelsInFixedOrder)
{
    const struct {
        std::array<BYTE, 4> levels;  // information, warning, error, critical
        const wchar_t* filter;
        bool verbose = false;
    } cases[] = {
        {{1, 0, 0, 0}, L"((Level=4) or (Level=0))"},
        {{0, 1, 1, 0}, L"((Level=3) or (Level=2))"},
        {{0, 0, 0, 1}, L"((Level=1))"},
        {{1, 0, 0, 1}, L"((Level=4) or (Level=0) or (Level=1))"},
        {{1, 1, 1, 1}, L"((Level=4) or (Level=0) or (Level=3) or (Level=2) or (Level=1))"},
        {{0, 0, 0, 0}, L"((Level=5))", true},
        {{0, 0, 1, 0}, L"((Level=2) or (Level=5))", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildLevelFilter(c.levels, c.verbose), c.filter) << c.verbose
            << int(c.levels[0]) << int(c.levels[1]) << int(c.levels[2]) << int(c.levels[3]);
    }
}

class EventLogExportTest : public EventLogTest {
protected:
    using EventLogTest::EventLogTest;

    // The command line that starts wevtutil from the system directory with
    // the "epl" parameters for `file` in the event folder and `query`.
    std::wstring Epl(const std::wstring& channel, const std::wstring& file, const std::wstring& query = L"") const
    {
        std::wstring line = L"\"" + SystemFolder() + L"\\wevtutil.exe\" epl " + channel + L" \"" + Event(file) + L"\"";
        if (!query.empty()) line += L" \"/q:" + query + L"\"";
        return line;
    }
    std::vector<std::wstring> ProductLogCalls(const std::wstring& query) const
    {
        return {Epl(L"TOVRA", L"tovra.evtx", query), Epl(L"\"TOVRA Security\"", L"tovrasecurity.evtx", query),
                Epl(L"Vorlix", L"vorlix.evtx", query)};
    }
    // No event kind for System, Application or Security.
    static void ChooseNothingElse(CollectRequest& request)
    {
        request.SystemLevels = {0, 0, 0, 0};
        request.ApplicationLevels = {0, 0, 0, 0};
        request.SecurityAuditSuccess = 0;
        request.SecurityAuditFailure = 0;
    }
    // The first line of what the stand-in wrote: a file it made, not one left over.
    bool WrittenByStandIn(const std::wstring& file) const
    {
        return ReadBytes(Event(file)).rfind("QXDIAG fake evtx\r\n", 0) == 0;
    }
    void ExpectEveryLogExported() const
    {
        const struct {
            const wchar_t* file;
            const char* channel;
        } exports[] = {{L"tovra.evtx", "TOVRA"},   {L"tovrasecurity.evtx", "TOVRA Security"},
                       {L"vorlix.evtx", "Vorlix"}, {L"system.evtx", "System"},
                       {L"application.evtx", "Application"}, {L"security.evtx", "Security"}};
        EXPECT_EQ(Calls().size(), std::size(exports));
        for (const auto& e : exports) {
            const std::string bytes = ReadBytes(Event(e.file));
            EXPECT_TRUE(WrittenByStandIn(e.file)) << bytes;
            EXPECT_NE(bytes.find(std::string("\r\nchannel: ") + e.channel + "\r\n"), std::string::npos) << bytes;
        }
    }
};

// The run-log lines of the three product logs, each with the filter line
// `filter`, followed by those of the system logs.
// The locales of the message texts that go with each export: the UI
// language of this machine, and en-US when that is another.
std::string LocaleLine()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0);
    std::string line = "\tlocale: ";
    for (const wchar_t* c = name; *c; ++c) line += static_cast<char>(*c);
    return line == "\tlocale: en-US" ? line : line + ", en-US";
}

// Each export's lines: its entry, its file, its filter and its locales.
std::vector<std::string> ProductLogLines(const std::string& filter,
                                         std::initializer_list<std::string> systemLogLines)
{
    std::vector<std::string> lines{
        "T: export eventlog 'TOVRA'",          "\tfile: tovra.evtx",         filter,
        "T: export eventlog 'TOVRA Security'", "\tfile: tovrasecurity.evtx", filter,
        "T: export eventlog 'Vorlix'",         "\tfile: vorlix.evtx",        filter,
    };
    lines.insert(lines.end(), systemLogLines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("\tfilter: ", 0) == 0) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(++i), LocaleLine());
    }
    return lines;
}

TEST_F(EventLogExportTest, ParametersOfEachChoice)
{
    const auto all = [](const std::wstring& query) { return query + L" and " + kWeek; };
    const struct {
        const char* name;
        std::function<void(CollectRequest&)> choose;
        std::vector<std::wstring> extraCalls;  // after the three product logs, for the week
    } cases[] = {
        {"every kind",
         [](CollectRequest&) {},
         {Epl(L"System", L"system.evtx", all(L"*[System[" + kAllLevels + L"]]")),
          Epl(L"Application", L"application.evtx", all(L"*[System[" + kAllLevels + L"]]")),
          Epl(L"Security", L"security.evtx", kWeek)}},
        {"warning and error, information, audit success",
         [](CollectRequest& r) {
             r.SystemLevels = {0, 1, 1, 0};
             r.ApplicationLevels = {1, 0, 0, 0};
             r.SecurityAuditFailure = 0;
         },
         {Epl(L"System", L"system.evtx", all(L"*[System[((Level=3) or (Level=2))]]")),
          Epl(L"Application", L"application.evtx", all(L"*[System[((Level=4) or (Level=0))]]")),
          Epl(L"Security", L"security.evtx", all(L"*[System[band(Keywords,9007199254740992)]]"))}},
        {"audit failure only",
         [](CollectRequest& r) {
             r.SystemLevels = {0, 0, 0, 0};
             r.ApplicationLevels = {0, 0, 0, 0};
             r.SecurityAuditSuccess = 0;
         },
         {Epl(L"Security", L"security.evtx", all(L"*[System[band(Keywords,4503599627370496)]]"))}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetCalls();
        progress.request = CollectRequest{};
        progress.request.OutputFolder = Output();
        c.choose(progress.request);
        EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));
        std::vector<std::wstring> expected = ProductLogCalls(kWeek);
        expected.insert(expected.end(), c.extraCalls.begin(), c.extraCalls.end());
        EXPECT_EQ(Calls(), expected);
    }
}

TEST_F(EventLogExportTest, EveryPeriodGivesItsWindowAndAllGivesNone)
{
    const auto window = [](const std::wstring& start) {
        return L"*[System[TimeCreated[@SystemTime>='" + start + L"' and @SystemTime<'2024-05-01T03:00:00']]]";
    };
    const struct {
        int period;
        std::wstring query;
    } cases[] = {
        {0, window(L"2024-04-29T03:00:00")},
        {1, kWeek},
        {2, window(L"2024-04-01T03:00:00")},
        {3, window(L"2024-03-02T03:00:00")},
        {4, L""},
        // No selection, or an index the list does not have: a week.
        {-1, kWeek},
        {5, kWeek},
    };
    ChooseNothingElse(progress.request);
    for (const auto& c : cases) {
        ForgetCalls();
        progress.request.PeriodIndex = c.period;
        EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));
        EXPECT_EQ(Calls(), ProductLogCalls(c.query)) << c.period;
    }
}

TEST_F(EventLogExportTest, WholeExportLogsShowsAndWritesEachStep)
{
    EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));

    const std::string& window = kWeekFilterLine;
    const std::string allLevels = " AND ((Level=4) or (Level=0) or (Level=3) or (Level=2) or (Level=1))";
    EXPECT_EQ(RunLogLinesWithoutTimes(runLog),
              ProductLogLines(window, {
                  "T: export eventlog 'System'",      "\tfile: system.evtx",      window + allLevels,
                  "T: export eventlog 'Application'", "\tfile: application.evtx", window + allLevels,
                  "T: export eventlog 'Security'",    "\tfile: security.evtx",    window + " AND ",
              }));
    EXPECT_EQ(progress.events, kEverySixSteps);
    ExpectEveryLogExported();
}

TEST_F(EventLogExportTest, AllPeriodLogsTheZeroWindowAndBothAuditKindsNoCondition)
{
    progress.request.PeriodIndex = 4;
    progress.request.SystemLevels = {0, 0, 0, 1};
    progress.request.ApplicationLevels = {0, 0, 0, 0};
    EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));

    const std::string zero = "\tfilter: 1970/01/01 00:00:00~1970/01/01 00:00:00";
    EXPECT_EQ(RunLogLinesWithoutTimes(runLog),
              ProductLogLines(zero, {
                  "T: export eventlog 'System'",   "\tfile: system.evtx",   zero + " AND ((Level=1))",
                  "T: export eventlog 'Security'", "\tfile: security.evtx", zero + " AND ",
              }));
    std::vector<std::wstring> expected = ProductLogCalls(L"");
    expected.push_back(Epl(L"System", L"system.evtx", L"*[System[((Level=1))]]"));
    expected.push_back(Epl(L"Security", L"security.evtx"));
    EXPECT_EQ(Calls(), expected);
    EXPECT_FALSE(Exists(Event(L"application.evtx")));
}

TEST_F(EventLogExportTest, NothingElseChosenRunsTheProductLogsAndStillChecksThreeTimes)
{
    ChooseNothingElse(progress.request);
    EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));
    EXPECT_EQ(Calls(), ProductLogCalls(kWeek));
    EXPECT_EQ(progress.events, kProductLogsOnly);
    EXPECT_EQ(RunLogLinesWithoutTimes(runLog), ProductLogLines(kWeekFilterLine, {}));
    for (const wchar_t* file : {L"system.evtx", L"application.evtx", L"security.evtx"}) {
        EXPECT_FALSE(Exists(Event(file))) << file;
    }
}

// A cancel confirmed between two exports (the stand-in ends at once) is seen
// at the three checks.
TEST_F(EventLogExportTest, CancelBetweenExportsIsSeenAtTheThreeChecks)
{
    const struct {
        const char* name;
        int cancelAtBar;
        bool nothingElse;
        size_t calls;
        std::vector<std::wstring> lastEvents;
    } cases[] = {
        {"after step 3, nothing else chosen", 50, true, 3, {L"bar:50", L"check"}},
        {"during step 4", 60, false, 4, {L"bar:60", kSystemDone, L"check"}},
        {"during step 5", 70, false, 5, {L"bar:70", kApplicationDone, L"check"}},
        {"during step 6", 80, false, 6, {L"bar:80", kSecurityDone, L"check"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingProgress fresh;
        fresh.request.OutputFolder = Output();
        fresh.cancelAtBar = c.cancelAtBar;
        if (c.nothingElse) ChooseNothingElse(fresh.request);
        ForgetCalls();
        ::DeleteFileW(runLog.c_str());

        EXPECT_FALSE(ExportEventLogsAt(fresh, runLog, kNow));
        EXPECT_EQ(Calls().size(), c.calls);
        EXPECT_EQ(RunLogLinesWithoutTimes(runLog).back(), "T: cancel");
        EXPECT_EQ(RunLogLinesWithoutTimes(runLog).size(), c.calls * 4 + 1);
        ASSERT_GE(fresh.events.size(), c.lastEvents.size());
        EXPECT_EQ(std::vector<std::wstring>(fresh.events.end() - c.lastEvents.size(), fresh.events.end()),
                  c.lastEvents);
    }
}

// The stand-in wevtutil stuck on one channel, as the child of this process:
// seen while the collector waits for it, and ended afterwards whatever the
// collector did.
class StuckWevtutil {
public:
    explicit StuckWevtutil(const wchar_t* channel) { ::SetEnvironmentVariableW(L"QX_WEVTUTIL_HANG", channel); }
    ~StuckWevtutil()
    {
        ::SetEnvironmentVariableW(L"QX_WEVTUTIL_HANG", nullptr);
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), 99);
            ::WaitForSingleObject(process_.get(), 5000);
        }
    }
    StuckWevtutil(const StuckWevtutil&) = delete;
    StuckWevtutil& operator=(const StuckWevtutil&) = delete;

    // True once the stuck process runs and its unfinished `file` is there.
    bool Seen(const std::wstring& file)
    {
        if (!Running()) Find();
        return Running() && Exists(file);
    }
    bool Gone() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }

private:
    bool Running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // An earlier export's wevtutil may still be listed while it ends.
    void Find()
    {
        const UniqueHandleKernel snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE || !::Process32FirstW(snapshot.get(), &entry)) return;
        do {
            if (entry.th32ParentProcessID == ::GetCurrentProcessId() &&
                ::lstrcmpiW(entry.szExeFile, L"wevtutil.exe") == 0) {
                process_.reset(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
                if (Running()) return;
            }
        } while (::Process32NextW(snapshot.get(), &entry));
    }

    UniqueHandleKernel process_;
};

TEST_F(EventLogExportTest, CancelEndsAStuckWevtutilAndLeavesNoPartialFile)
{
    StuckWevtutil stuck(L"TOVRA Security");
    progress.cancelWhen = [&] { return stuck.Seen(Event(L"tovrasecurity.evtx")); };
    // Bounded, so that a collector that never looks ends the test all the same.
    EXPECT_FALSE(ExportEventLogsAt(progress, runLog, kNow, 60000));

    EXPECT_TRUE(stuck.Gone()) << "the stuck wevtutil was ended before the collector returned";
    EXPECT_FALSE(Exists(Event(L"tovrasecurity.evtx")));
    EXPECT_TRUE(WrittenByStandIn(L"tovra.evtx"));
    EXPECT_EQ(Calls().size(), 2u) << "no log after the cancelled one";
    std::vector<std::string> expected = ProductLogLines(kWeekFilterLine, {});
    expected.resize(8);
    expected.push_back("T: cancel");
    EXPECT_EQ(RunLogLinesWithoutTimes(runLog), expected);
    // Seen while the export ran: no bar for it.
    const auto lastReport = std::find_if(progress.events.rbegin(), progress.events.rend(),
                                         [](const std::wstring& event) { return event != L"check"; });
    ASSERT_NE(lastReport, progress.events.rbegin());
    EXPECT_EQ(*lastReport, kTovraSecurityRunning);
}

TEST_F(EventLogExportTest, StuckWevtutilIsEndedAfterTheTimeLimitAndTheRunGoesOn)
{
    StuckWevtutil stuck(L"Vorlix");
    bool seen = false;
    progress.cancelWhen = [&] {
        seen = seen || stuck.Seen(Event(L"vorlix.evtx"));
        return false;
    };
    EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow, 2000));

    EXPECT_TRUE(seen);
    EXPECT_TRUE(stuck.Gone());
    EXPECT_FALSE(Exists(Event(L"vorlix.evtx"))) << "an export cut short is no export";
    const std::string& window = kWeekFilterLine;
    const std::string allLevels = " AND " + std::string(kAllLevels.begin(), kAllLevels.end());
    std::vector<std::string> expected = ProductLogLines(window, {
        "T: export eventlog 'Vorlix' error. wevtutil did not end within 2 seconds and was ended.",
        "T: export eventlog 'System'",      "\tfile: system.evtx",      window + allLevels,
        "T: export eventlog 'Application'", "\tfile: application.evtx", window + allLevels,
        "T: export eventlog 'Security'",    "\tfile: security.evtx",    window + " AND ",
    });
    EXPECT_EQ(RunLogLinesWithoutTimes(runLog), expected);
    EXPECT_EQ(progress.events, kEverySixSteps);
    for (const wchar_t* file : {L"tovra.evtx", L"tovrasecurity.evtx", L"system.evtx", L"application.evtx",
                                L"security.evtx"}) {
        EXPECT_TRUE(WrittenByStandIn(file)) << file;
    }
}

TEST_F(EventLogExportTest, ExportReplacesAFileFromAnEarlierRun)
{
    // The stand-in, as wevtutil, refuses an existing target.
    ASSERT_TRUE(WriteBytes(Event(L"tovra.evtx"), "earlier run"));
    ChooseNothingElse(progress.request);
    EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));
    EXPECT_TRUE(WrittenByStandIn(L"tovra.evtx")) << ReadBytes(Event(L"tovra.evtx"));
}

// The locales' message texts go with every export that was made, by the
// system's wevtutil "al", and land in "event\LocaleMetaData".
TEST_F(EventLogExportTest, LocaleMetadataIsArchivedBesideEachExport)
{
    ChooseNothingElse(progress.request);
    EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));

    std::vector<std::wstring> locales;
    const std::string line = LocaleLine().substr(std::string("\tlocale: ").size());
    for (std::size_t start = 0; start < line.size();) {
        const std::size_t end = line.find(", ", start);
        locales.emplace_back(line.begin() + static_cast<std::ptrdiff_t>(start),
                             end == std::string::npos ? line.end() : line.begin() + static_cast<std::ptrdiff_t>(end));
        start = end == std::string::npos ? line.size() : end + 2;
    }
    ASSERT_FALSE(locales.empty());
    EXPECT_EQ(locales.back(), L"en-US");
    std::vector<std::wstring> expected;
    for (const wchar_t* stem : {L"tovra", L"tovrasecurity", L"vorlix"}) {
        for (const std::wstring& locale : locales) {
            expected.push_back(L"\"" + SystemFolder() + L"\\wevtutil.exe\" al \"" + Event(std::wstring(stem) + L".evtx") +
                               L"\" /l:" + locale);
            EXPECT_TRUE(Exists(Event(L"LocaleMetaData\\" + std::wstring(stem) + L"_" + locale + L".MTA"))) << stem;
        }
    }
    EXPECT_EQ(Calls(L"al"), expected);
}

TEST_F(EventLogExportTest, AFileFromAnEarlierRunThatCannotBeDeletedKeepsItsOwnSecurity)
{
    const std::wstring earlier = Event(L"tovra.evtx");
    ASSERT_TRUE(WriteBytes(earlier, "earlier run"));
    ASSERT_TRUE(::SetFileAttributesW(earlier.c_str(), FILE_ATTRIBUTE_READONLY));
    const ScopeExit writable([&earlier] { ::SetFileAttributesW(earlier.c_str(), FILE_ATTRIBUTE_NORMAL); });
    const std::string ownDacl = test::DaclBytes(earlier);

    RunWevtutilExport(L"TOVRA", earlier, L"", 0, 0);

    EXPECT_EQ(ReadBytes(earlier), "earlier run");
    EXPECT_EQ(test::DaclBytes(earlier), ownDacl);
}

// Open access as far as Wine keeps it: the export's DACL is the one that
// ApplyOpenAccess gives a file, which differs from a new file's own.
TEST_F(EventLogExportTest, OutputFileGetsOpenAccess)
{
    const auto dacl = [](const std::wstring& path) {
        DWORD size = 0;
        ::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
        std::vector<BYTE> descriptor(size);
        LPWSTR text = nullptr;
        if (size == 0 ||
            !::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
            !::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                                    DACL_SECURITY_INFORMATION, &text, nullptr))
            return std::wstring(L"<unreadable>");
        const ScopeExit freeText([text] { ::LocalFree(text); });
        return std::wstring(text);
    };
    ASSERT_TRUE(WriteBytes(Event(L"new.evtx"), "new"));
    ASSERT_TRUE(WriteBytes(Event(L"open.evtx"), "open"));
    ApplyOpenAccess(Event(L"open.evtx"));
    ASSERT_NE(dacl(Event(L"new.evtx")), dacl(Event(L"open.evtx")));

    ASSERT_EQ(RunWevtutilExport(L"TOVRA", Event(L"tovra.evtx"), L"", 0, 0).End, RunEnd::Ended);
    EXPECT_EQ(dacl(Event(L"tovra.evtx")), dacl(Event(L"open.evtx")));
}

// The tool runs elevated: a wevtutil.exe beside it or in the working folder
// must not be the one that runs. (Wine's ShellExecuteExW takes a bare
// "wevtutil.exe" from the system directory before either folder, so here this
// guards what Windows would do.)
TEST_F(EventLogExportTest, PlantedWevtutilBesideTheExeOrInTheWorkingFolderIsNotRun)
{
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring besideExe = exe;
    besideExe = besideExe.substr(0, besideExe.rfind(L'\\')) + L"\\wevtutil.exe";
    TempFolder working(L"working");
    const std::wstring inWorking = working / L"wevtutil.exe";
    const std::wstring standIn = SystemFolder() + L"\\wevtutil.exe";
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    const ScopeExit restore([&] {
        ::SetCurrentDirectoryW(previous);
        ::DeleteFileW(besideExe.c_str());
    });
    ASSERT_TRUE(::CopyFileW(standIn.c_str(), besideExe.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(standIn.c_str(), inWorking.c_str(), FALSE));
    ASSERT_TRUE(::SetCurrentDirectoryW(working.Path().c_str()));

    EXPECT_EQ(RunWevtutilExport(L"TOVRA", Event(L"tovra.evtx"), L"", 0, 0).End, RunEnd::Ended);
    EXPECT_EQ(Calls(), std::vector<std::wstring>{Epl(L"TOVRA", L"tovra.evtx")});
    const std::string program(standIn.begin(), standIn.end());  // ASCII
    EXPECT_NE(ReadBytes(Event(L"tovra.evtx")).find("\r\nprogram: " + program + "\r\n"), std::string::npos)
        << ReadBytes(Event(L"tovra.evtx"));
}

class EventLogExportWithBlankTest : public EventLogExportTest {
protected:
    EventLogExportWithBlankTest() : EventLogExportTest(L"event log") {}
};

TEST_F(EventLogExportWithBlankTest, OutputFolderWithABlankExportsEveryLog)
{
    ASSERT_NE(Output().find(L' '), std::wstring::npos);
    EXPECT_TRUE(ExportEventLogsAt(progress, runLog, kNow));
    ExpectEveryLogExported();
}

// The worker's event-log step in the real progress dialog, on Vista and later.
TEST_F(EventLogExportTest, CollectionInTheProgressDialogLeavesTheExportsAndItsTexts)
{
    ASSERT_TRUE(IsVistaOrLater());
    CProgDlg dialog(&progress.request, CollectionPlan{{}, {{&CollectRequest::WantEventLogs, CollectEventLogs}}});
    std::wstring title;
    std::wstring status;
    LRESULT bar = -1;
    test::WhileRunning(IDD_PROGRESS_DLG, [&] { dialog.DoModal(nullptr); }, [&](HWND window) {
        // Lets the worker's calls into the controls through, but not its
        // closing WM_CLOSE, so that the last texts can be read.
        for (int i = 0; i < 3000 && !dialog.WorkFinished(); ++i) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
            ::Sleep(5);
        }
        title = WindowText(::GetDlgItem(window, IDC_STEP_TITLE));
        status = WindowText(::GetDlgItem(window, IDC_STATUS));
        bar = ::SendDlgItemMessageW(window, IDC_PROGRESS, PBM_GETPOS, 0, 0);
    });
    EXPECT_EQ(dialog.Outcome(), RunOutcome::Completed);
    EXPECT_EQ(title, L"イベントログ情報の取得:");
    EXPECT_EQ(status, L"イベントログ情報を取得しました。");
    EXPECT_EQ(bar, 100);
    ExpectEveryLogExported();
}

}  // namespace
}  // namespace qx
