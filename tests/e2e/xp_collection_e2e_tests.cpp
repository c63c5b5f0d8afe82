// A whole collection by the tool's copy that the prefix makes see Windows XP:
// the event logs go through the event-log service's own backup instead of
// wevtutil, chosen in the pre-Vista detail dialog; every other item is
// collected as on later Windows. Wine's BackupEventLogW reports success but
// writes nothing, so the backups are seen in the run log, not as files.

#include "driver.h"
#include "files_fixture.h"
#include "resource.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace qx::e2e {
namespace {

// The stand-in wevtutil.exe records each call in the file that this variable
// names; the tool inherits it from the test.
constexpr wchar_t kWevtutilRecordVariable[] = L"QX_WEVTUTIL_RECORD";

class XpCollection : public CollectionPage<&QxdiagXpExePath> {
protected:
    // Before the tool starts, so that a wevtutil it ran would record here.
    void SetUp() override
    {
        ::SetEnvironmentVariableW(kWevtutilRecordVariable, Record().c_str());
        CollectionPage::SetUp();
    }
    void TearDown() override { ::SetEnvironmentVariableW(kWevtutilRecordVariable, nullptr); }

    std::wstring Record() const { return records_ / L"wevtutil-calls.txt"; }

    test::TempFolder records_{L"e2e-wevtutil"};
};

TEST_F(XpCollection, FullCollectionBacksUpTheEventLogsChosenInDialog139)
{
    // Dialog 139, not 133: three log choices and no period. Application is left out.
    ASSERT_TRUE(ClickButton(Page(), IDC_EVENTLOG_DETAIL));
    HWND detail = WaitForDialog(app_->ProcessId(), kDetailCaption, sheet_);
    ASSERT_NE(detail, nullptr) << "no detail dialog owned by the main window";
    EXPECT_NE(::GetDlgItem(detail, IDC_LEGACY_SYSTEM), nullptr);
    EXPECT_EQ(::GetDlgItem(detail, IDC_PERIOD), nullptr);
    ASSERT_TRUE(SetCheckBox(detail, IDC_LEGACY_APPLICATION, false));
    ASSERT_TRUE(ClickButton(detail, IDOK));
    ASSERT_TRUE(WaitUntilGone(detail));

    ASSERT_NO_FATAL_FAILURE(CheckItems(true));
    ASSERT_NO_FATAL_FAILURE(Collect());

    EXPECT_EQ(NamesIn(Output()),
              (std::set<std::wstring>{L"QXDIAG.log", L"debug", L"dump", L"event", L"index.html", L"manifest.json",
                                      L"registry", L"vorlix"}));
    ExpectFakeMachineItems(Output());
    // Whatever the backup leaves in event/ is a .evt file; wevtutil never ran.
    for (const std::wstring& name : NamesIn(Output(L"event"))) {
        EXPECT_TRUE(name.ends_with(L".evt")) << testing::PrintToString(name);
    }
    bool recorded = false;
    const std::string calls = test::ReadBytes(Record(), &recorded);
    EXPECT_FALSE(recorded) << "wevtutil was run; its record holds " << calls.size() << " bytes";

    // One entry a log, naming its backup file, without file or filter lines.
    const std::vector<RunLogEntry> backups{
        {L"export eventlog 'TOVRA' >> tovra.evt", {}},
        {L"export eventlog 'TOVRA Security' >> tovrasecurity.evt", {}},
        {L"export eventlog 'Vorlix' >> vorlix.evt", {}},
        {L"export eventlog 'System' >> system.evt", {}},
        {L"export eventlog 'Security' >> security.evt", {}},
    };
    ExpectRunLogEntries(CompletedRunLogEntries(), FakeMachineRunLog(L"\tmajor:5, minor:2", backups));
}

}  // namespace
}  // namespace qx::e2e
