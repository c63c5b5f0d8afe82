// The collection run: the worker's order and the run-log frame, the progress
// dialog's cancel protocol, and Save on the collection page.

#include "app/main_dlg.h"
#include "collect/collection_run.h"
#include "collect/prog_dlg.h"
#include "collect/run_log.h"
#include "platform/files.h"
#include "platform/system.h"
#include "resource.h"
#include "files_fixture.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace qx {
namespace {

const std::string kSeparator(75, '-');

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// The lines of a CR LF file; fails the test on a bare LF.
std::vector<std::string> ReadLines(const std::wstring& path)
{
    const std::string bytes = ReadBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line without CR LF";
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    for (const std::string& line : lines) EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    return lines;
}

// The items of a combo box, in list order.
std::vector<std::wstring> ComboItems(HWND combo)
{
    std::vector<std::wstring> items;
    const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied =
            ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        items.push_back(text);
    }
    return items;
}

bool IsDirectory(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Collectors for the tests. A gated step waits at checkpoints until the test
// opens the gate or the user cancels.
std::atomic<bool> g_gateOpen{false};

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void WriteAlways(const std::wstring& runLog) { AppendRunLogLine(runLog, L"always"); }

bool GatedStep(CollectionProgress& progress, const std::wstring& runLog)
{
    for (int i = 0; i < 1000; ++i) {
        if (progress.CancelRequested()) {
            AppendRunLogEntry(runLog, L"cancel");
            return false;
        }
        if (g_gateOpen) break;
        ::Sleep(10);
    }
    AppendRunLogLine(runLog, L"gated");
    return true;
}

// Looks at the user's cancel only once the gate opens, so that the dialog is
// driven while its worker surely still runs.
bool LateCheckingStep(CollectionProgress& progress, const std::wstring& runLog)
{
    for (int i = 0; i < 1000 && !g_gateOpen; ++i) ::Sleep(10);
    if (progress.CancelRequested()) {
        AppendRunLogEntry(runLog, L"cancel");
        return false;
    }
    AppendRunLogLine(runLog, L"late");
    return true;
}

bool DebugStep(CollectionProgress&, const std::wstring& runLog) { return AppendRunLogLine(runLog, L"debug"), true; }
bool RegistryStep(CollectionProgress&, const std::wstring& runLog)
{
    return AppendRunLogLine(runLog, L"registry"), true;
}
bool CancellingStep(CollectionProgress&, const std::wstring& runLog)
{
    AppendRunLogEntry(runLog, L"cancel");
    return false;
}

// A progress without a dialog.
class FakeProgress : public CollectionProgress {
public:
    const CollectRequest& Request() const override { return request; }
    bool CancelRequested() const override { return false; }
    void SetStepTitle(const std::wstring&) override {}
    void SetStatus(const std::wstring&) override {}
    void SetProgress(int) override {}
    CollectRequest request;
};

TEST(RunCollection, RunsChosenStepsInOrderBetweenSeparators)
{
    TempFolder folder;
    FakeProgress progress;
    progress.request.OutputFolder = folder.Path();
    progress.request.WantEventLogs = 0;
    const CollectionPlan plan{{WriteAlways},
                              {{&CollectRequest::WantEventLogs, CancellingStep},
                               {&CollectRequest::WantDebugLogs, DebugStep},
                               {&CollectRequest::WantRegistry, RegistryStep}}};

    EXPECT_EQ(RunCollection(progress, plan), RunOutcome::Completed);
    EXPECT_EQ(RunCollection(progress, plan), RunOutcome::Completed);

    const std::vector<std::string> oneRun{kSeparator, "always", "debug", "registry", kSeparator};
    std::vector<std::string> twoRuns = oneRun;
    twoRuns.insert(twoRuns.end(), oneRun.begin(), oneRun.end());
    EXPECT_EQ(ReadLines(RunLogPath(folder.Path())), twoRuns) << "the second run appends after the first";
}

TEST(RunCollection, StoppingStepEndsTheRunWithoutClosingSeparator)
{
    TempFolder folder;
    FakeProgress progress;
    progress.request.OutputFolder = folder.Path();
    const CollectionPlan plan{{WriteAlways},
                              {{&CollectRequest::WantDebugLogs, DebugStep},
                               {&CollectRequest::WantCrashDumps, CancellingStep},
                               {&CollectRequest::WantCrashDumps, RegistryStep}}};

    EXPECT_EQ(RunCollection(progress, plan), RunOutcome::Stopped);
    const std::vector<std::string> lines = ReadLines(RunLogPath(folder.Path()));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "debug");
    EXPECT_TRUE(EndsWith(lines[3], ": cancel")) << lines[3];
}

TEST(RunCollection, UnwritableRunLogStopsBeforeAnything)
{
    TempFolder folder;
    FakeProgress progress;
    // A file where the output folder should be.
    progress.request.OutputFolder = folder.Path() + L"\\QXDIAG";
    ASSERT_TRUE(WriteBytes(progress.request.OutputFolder, "not a folder"));
    const CollectionPlan plan{{WriteAlways}, {{&CollectRequest::WantDebugLogs, DebugStep}}};

    EXPECT_EQ(RunCollection(progress, plan), RunOutcome::RunLogFailed);
    EXPECT_EQ(ReadBytes(progress.request.OutputFolder), "not a folder");
}

// What the message-box seam was asked, and how it answered.
struct AskedBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class SeamTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_gateOpen = false;
        Seams().messageBox = [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
            asked.push_back({owner, text, caption, type});
            return answer ? answer(text) : IDNO;
        };
    }
    void TearDown() override
    {
        g_gateOpen = true;
        Seams() = UiSeams{};
    }

    std::vector<AskedBox> asked;
    std::function<int(const std::wstring& text)> answer;
};

class ProgressDialogTest : public SeamTest {
protected:
    void SetUp() override
    {
        SeamTest::SetUp();
        request.OutputFolder = folder.Path();
    }

    // Runs the dialog; `whileOpen` runs once inside its modal loop.
    void Run(const std::function<void(HWND)>& whileOpen, Collector first = GatedStep)
    {
        const CollectionPlan plan{{WriteAlways},
                                  {{&CollectRequest::WantEventLogs, first},
                                   {&CollectRequest::WantDebugLogs, DebugStep}}};
        dialog = std::make_unique<CProgDlg>(&request, plan);
        const int seen = test::WhileRunning(IDD_PROGRESS_DLG, [&] { result = dialog->DoModal(nullptr); }, whileOpen);
        EXPECT_EQ(seen, 1);
    }
    std::vector<std::string> Log() { return ReadLines(RunLogPath(folder.Path())); }
    void ExpectConfirmation(const AskedBox& box, HWND progressWindow)
    {
        EXPECT_EQ(box.owner, progressWindow);
        EXPECT_EQ(box.text, L"情報収集の処理を中断しキャンセルしますか？");
        EXPECT_EQ(box.caption, L"TOVRA DIAG - 情報取得のキャンセル");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO));
    }

    TempFolder folder;
    CollectRequest request;
    std::unique_ptr<CProgDlg> dialog;
    INT_PTR result = 0;
};

TEST_F(ProgressDialogTest, CancelAnsweredNoLeavesTheRunUntouched)
{
    HWND window = nullptr;
    Run([&](HWND progress) {
        window = progress;
        ::SendMessageW(::GetDlgItem(progress, IDC_CANCEL_RUN), BM_CLICK, 0, 0);
        g_gateOpen = true;
    });
    ASSERT_EQ(asked.size(), 1u);
    ExpectConfirmation(asked[0], window);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dialog->CancelRequested());
    EXPECT_EQ(dialog->Outcome(), RunOutcome::Completed);
    EXPECT_EQ(Log(), (std::vector<std::string>{kSeparator, "always", "gated", "debug", kSeparator}));
}

TEST_F(ProgressDialogTest, CancelAnsweredYesStopsAtTheNextCheckpoint)
{
    answer = [](const std::wstring&) { return IDYES; };
    Run([&](HWND progress) { ::SendMessageW(::GetDlgItem(progress, IDC_CANCEL_RUN), BM_CLICK, 0, 0); });
    EXPECT_TRUE(dialog->CancelRequested());
    EXPECT_EQ(dialog->Outcome(), RunOutcome::Stopped);
    const std::vector<std::string> lines = Log();
    ASSERT_EQ(lines.size(), 3u) << "no closing separator, and the debug step did not run";
    EXPECT_TRUE(EndsWith(lines[2], ": cancel")) << lines[2];
}

TEST_F(ProgressDialogTest, CloseBoxAsksTheSameQuestion)
{
    answer = [](const std::wstring&) { return IDYES; };
    HWND window = nullptr;
    Run([&](HWND progress) {
        window = progress;
        ::SendMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    ASSERT_EQ(asked.size(), 1u);
    ExpectConfirmation(asked[0], window);
    EXPECT_EQ(dialog->Outcome(), RunOutcome::Stopped);
}

TEST_F(ProgressDialogTest, EscDuringTheRunAsksAndDoesNotEndTheDialog)
{
    answer = [](const std::wstring&) {
        g_gateOpen = true;
        return IDNO;
    };
    Run([&](HWND progress) { ::PostMessageW(::GetDlgItem(progress, IDC_CANCEL_RUN), WM_KEYDOWN, VK_ESCAPE, 1); });
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(dialog->Outcome(), RunOutcome::Completed) << "the dialog ended only after the worker";
    EXPECT_EQ(Log().back(), kSeparator);
}

// Whatever reaches the dialog while its worker runs, it ends only after the
// worker: the run completes or stops as asked.
TEST_F(ProgressDialogTest, NoKeyOrCommandEndsTheDialogBeforeItsWorker)
{
    const auto esc = [](HWND progress) { test::PressKey(::GetDlgItem(progress, IDC_CANCEL_RUN), VK_ESCAPE); };
    const auto closeBox = [](HWND progress) { ::SendMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0); };
    // With the focus on no button, Enter is the dialog's IDOK.
    const auto enter = [](HWND progress) {
        ::SetFocus(progress);
        test::PressKey(progress, VK_RETURN);
    };
    const auto postedOk = [](HWND progress) {
        ::PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        test::PumpMessages();
    };
    const struct {
        const char* name;
        bool yesFirst;
        std::vector<std::function<void(HWND)>> actions;
        RunOutcome outcome;
        std::vector<std::string> log;
    } cases[] = {
        {"Esc and the close box after Yes", true, {esc, closeBox}, RunOutcome::Stopped, {kSeparator, "always"}},
        {"Enter and a posted IDOK", false, {enter, postedOk}, RunOutcome::Completed,
         {kSeparator, "always", "late", "debug", kSeparator}},
        {"Enter and a posted IDOK after Yes", true, {enter, postedOk}, RunOutcome::Stopped, {kSeparator, "always"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_gateOpen = false;
        asked.clear();
        answer = [&](const std::wstring&) { return c.yesFirst ? IDYES : IDNO; };
        ::DeleteFileW(RunLogPath(folder.Path()).c_str());
        bool stayed = false;
        Run(
            [&](HWND progress) {
                if (c.yesFirst) ::SendMessageW(::GetDlgItem(progress, IDC_CANCEL_RUN), BM_CLICK, 0, 0);
                for (const auto& action : c.actions) action(progress);
                stayed = ::IsWindow(progress) && dialog->ModalRunning() && !dialog->WorkFinished();
                g_gateOpen = true;
            },
            LateCheckingStep);
        EXPECT_TRUE(stayed);
        EXPECT_EQ(asked.size(), c.yesFirst ? 1u : 0u) << "no second question once Yes was given";
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(dialog->Outcome(), c.outcome) << "the dialog ended only after the worker";
        std::vector<std::string> log = Log();
        if (c.outcome == RunOutcome::Stopped) {
            ASSERT_EQ(log.size(), 3u);
            EXPECT_TRUE(EndsWith(log.back(), ": cancel")) << log.back();
            log.pop_back();
        }
        EXPECT_EQ(log, c.log);
    }
}

TEST_F(ProgressDialogTest, WorkerFinishingWhileTheQuestionIsOpenThenYesCountsAsCancelled)
{
    HWND window = nullptr;
    answer = [&](const std::wstring&) {
        g_gateOpen = true;
        for (int i = 0; i < 500 && !dialog->WorkFinished(); ++i) ::Sleep(10);
        EXPECT_TRUE(dialog->WorkFinished());
        // A click once the worker has finished does nothing: no second question.
        ::SendMessageW(::GetDlgItem(window, IDC_CANCEL_RUN), BM_CLICK, 0, 0);
        return IDYES;
    };
    Run([&](HWND progress) {
        window = progress;
        ::SendMessageW(::GetDlgItem(progress, IDC_CANCEL_RUN), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(dialog->CancelRequested());
    EXPECT_EQ(dialog->Outcome(), RunOutcome::Completed);
    EXPECT_EQ(Log().back(), kSeparator) << "every step ran";
}

// Save on the collection page of the real main window, with the folder picker
// and the message boxes behind the seams.
class SaveTest : public SeamTest {
protected:
    void SetUp() override
    {
        SeamTest::SetUp();
        ASSERT_NE(dlg.Create(nullptr), nullptr);
        ::ShowWindow(dlg.Handle(), SW_SHOW);
        dlg.MenuPage().ShowPageById(IDD_EVENTLOG_PAGE, 0);
        Seams().pickFolder = [this](HWND owner, const std::wstring& title, std::wstring& folder) {
            pickerOwner = owner;
            pickerTitle = title;
            saveEnabledWhilePicking = ::IsWindowEnabled(::GetDlgItem(PageWindow(), IDC_SAVE));
            folder = picked;
            return !picked.empty();
        };
        picked = folder.Path();
        Page().SetCollectionPlan(CollectionPlan{{WriteAlways}, {{&CollectRequest::WantDebugLogs, DebugStep}}});
    }

    CEventLogPage& Page() { return dlg.CollectPage(); }
    HWND PageWindow() { return dlg.CollectPage().Handle(); }
    void SetItems(std::initializer_list<int> checked)
    {
        for (int id = IDC_ITEM_EVENTLOG; id <= IDC_ITEM_VORLIX; ++id) ::CheckDlgButton(PageWindow(), id, BST_UNCHECKED);
        for (int id : checked) ::CheckDlgButton(PageWindow(), id, BST_CHECKED);
    }
    void ClickSave()
    {
        ::SendMessageW(::GetDlgItem(PageWindow(), IDC_SAVE), BM_CLICK, 0, 0);
        test::PumpMessages();
    }
    std::wstring Output() const { return folder.Path() + L"\\QXDIAG"; }

    TempFolder folder;
    CMainDlg dlg;
    std::wstring picked;
    HWND pickerOwner = nullptr;
    std::wstring pickerTitle;
    bool saveEnabledWhilePicking = true;
};

TEST_F(SaveTest, WithNoItemChosenStillCreatesTheFolderAndCompletes)
{
    SetItems({});
    ClickSave();

    EXPECT_EQ(pickerOwner, dlg.Handle());
    EXPECT_EQ(pickerTitle, L"保存先フォルダーを指定してください");
    EXPECT_FALSE(saveEnabledWhilePicking);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(PageWindow(), IDC_SAVE)));

    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].owner, nullptr);
    EXPECT_EQ(asked[0].text, L"情報収集が完了しました。保存フォルダーを開きますか？");
    EXPECT_EQ(asked[0].caption, L"TOVRA DIAG - 保存");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    // Then the archive, answered No: none is made.
    EXPECT_EQ(asked[1].owner, nullptr);
    EXPECT_EQ(asked[1].text, L"保存フォルダーを1つのZIPファイルにまとめますか？\n（サポートへ送付する場合は「はい」を選択してください）");
    EXPECT_EQ(asked[1].caption, L"TOVRA DIAG - 保存");
    EXPECT_EQ(asked[1].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Page().Request().OutputFolder, Output() + L"\\");
    EXPECT_EQ(ReadLines(Output() + L"\\QXDIAG.log"), (std::vector<std::string>{kSeparator, "always", kSeparator}));
    for (const wchar_t* name : {L"event", L"debug", L"dump", L"registry", L"vorlix"}) {
        EXPECT_FALSE(IsDirectory(Output() + L"\\" + name)) << name;
    }
}

TEST_F(SaveTest, CreatesSubFoldersOfTheChosenItemsOnly)
{
    SetItems({IDC_ITEM_DEBUGLOG, IDC_ITEM_REGISTRY});
    ClickSave();
    const CollectRequest& request = Page().Request();
    EXPECT_EQ(request.WantEventLogs, 0);
    EXPECT_EQ(request.WantDebugLogs, 1);
    EXPECT_EQ(request.WantRegistry, 1);
    EXPECT_EQ(request.WantVorlixFiles, 0);
    EXPECT_TRUE(IsDirectory(Output() + L"\\debug"));
    EXPECT_TRUE(IsDirectory(Output() + L"\\registry"));
    for (const wchar_t* name : {L"event", L"dump", L"vorlix"}) EXPECT_FALSE(IsDirectory(Output() + L"\\" + name));
    EXPECT_EQ(ReadLines(Output() + L"\\QXDIAG.log"),
              (std::vector<std::string>{kSeparator, "always", "debug", kSeparator}));
}

TEST_F(SaveTest, CancelledPickEndsSilently)
{
    picked.clear();
    Page().Request().OutputFolder = L"C:\\earlier";
    ClickSave();
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(Page().Request().OutputFolder.empty());
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(PageWindow(), IDC_SAVE)));
}

TEST_F(SaveTest, OutputFolderThatIsAFileIsReportedAsAWriteFailure)
{
    ASSERT_TRUE(WriteBytes(Output(), "a file"));
    ClickSave();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, L"出力先への書き込みに失敗しました。書き込み権限を確認してください。");
    EXPECT_EQ(asked[0].caption, L"TOVRA DIAG - 保存");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(ReadBytes(Output()), "a file");
}

TEST_F(SaveTest, PathsThatDoNotFitStopBeforeAnythingIsCreated)
{
    // The chosen folder fits, but "<folder>\QXDIAG\QXDIAG.log" would not.
    const std::wstring deep = folder.Path() + L"\\" + std::wstring(MAX_PATH - 14 - folder.Path().size(), L'd');
    ASSERT_LT(JoinPath(deep, L"QXDIAG").size(), static_cast<size_t>(MAX_PATH));
    picked = deep;
    ClickSave();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, L"出力先への書き込みに失敗しました。書き込み権限を確認してください。");
    EXPECT_FALSE(IsDirectory(deep));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(PageWindow(), IDC_SAVE)));
}

TEST_F(SaveTest, DriveRootGivesQxdiagDirectlyOnTheDrive)
{
    const std::wstring root = L"C:\\QXDIAG";
    ASSERT_FALSE(IsDirectory(root)) << "leftover from an earlier run";
    picked = L"C:\\";
    SetItems({});
    ClickSave();
    EXPECT_EQ(Page().Request().OutputFolder, L"C:\\QXDIAG\\");
    EXPECT_TRUE(IsDirectory(root));
    TempFolder::RemoveTree(root);
}

TEST_F(SaveTest, CancelledRunIsReported)
{
    Page().SetCollectionPlan(CollectionPlan{{}, {{&CollectRequest::WantEventLogs, GatedStep}}});
    answer = [](const std::wstring& text) {
        return text == L"情報収集の処理を中断しキャンセルしますか？" ? IDYES : IDNO;
    };
    HWND progressOwner = nullptr;
    bool mainDisabled = false;
    test::WhileRunning(IDD_PROGRESS_DLG, [&] { ClickSave(); }, [&](HWND progress) {
        progressOwner = ::GetWindow(progress, GW_OWNER);
        mainDisabled = !::IsWindowEnabled(dlg.Handle());
        ::SendMessageW(::GetDlgItem(progress, IDC_CANCEL_RUN), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(progressOwner, dlg.Handle());
    EXPECT_TRUE(mainDisabled);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, L"情報収集の処理を中断しました。");
    EXPECT_EQ(asked[1].caption, L"TOVRA DIAG - 保存");
    EXPECT_EQ(asked[1].owner, nullptr);
    EXPECT_EQ(Page().Request().OutputFolder, Output()) << "no trailing backslash after a cancelled run";
}

TEST_F(SaveTest, EventLogItemEnablesTheDetailButton)
{
    HWND item = ::GetDlgItem(PageWindow(), IDC_ITEM_EVENTLOG);
    HWND detail = ::GetDlgItem(PageWindow(), IDC_EVENTLOG_DETAIL);
    EXPECT_EQ(::IsDlgButtonChecked(PageWindow(), IDC_ITEM_EVENTLOG), BST_CHECKED);
    EXPECT_TRUE(::IsWindowEnabled(detail));
    ::SendMessageW(item, BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindowEnabled(detail));
    ::SendMessageW(item, BM_CLICK, 0, 0);
    EXPECT_TRUE(::IsWindowEnabled(detail));
}

TEST_F(SaveTest, DetailDialogShowsTheStoredChoicesOkStoresCancelKeeps)
{
    ASSERT_TRUE(IsVistaOrLater());
    const auto openDetail = [&](const std::function<void(HWND)>& whileOpen) {
        const int seen = test::WhileRunning(
            IDD_EVENTLOG_DLG, [&] { ::SendMessageW(::GetDlgItem(PageWindow(), IDC_EVENTLOG_DETAIL), BM_CLICK, 0, 0); },
            whileOpen);
        EXPECT_EQ(seen, 1);
    };

    openDetail([&](HWND detail) {
        EXPECT_EQ(::GetWindow(detail, GW_OWNER), dlg.Handle());
        HWND period = ::GetDlgItem(detail, IDC_PERIOD);
        const std::vector<std::wstring> periods{L"過去48時間", L"過去7日間", L"過去30日間", L"過去60日間", L"すべて"};
        EXPECT_EQ(ComboItems(period), periods);
        EXPECT_EQ(WindowText(period), L"過去7日間");
        for (int id = IDC_SYSTEM_INFO; id <= IDC_SECURITY_FAILURE; ++id) {
            EXPECT_EQ(::IsDlgButtonChecked(detail, id), BST_CHECKED) << id;
        }
        ::SendMessageW(period, CB_SETCURSEL, 4, 0);
        ::CheckDlgButton(detail, IDC_SYSTEM_WARNING, BST_UNCHECKED);
        ::CheckDlgButton(detail, IDC_SECURITY_FAILURE, BST_UNCHECKED);
        ::PostMessageW(::GetDlgItem(detail, IDOK), BM_CLICK, 0, 0);
    });
    const CollectRequest& request = Page().Request();
    EXPECT_EQ(request.PeriodIndex, 4);
    EXPECT_EQ(request.SystemLevels, (std::array<BYTE, 4>{1, 0, 1, 1}));
    EXPECT_EQ(request.SecurityAuditFailure, 0);
    EXPECT_EQ(request.SecurityAuditSuccess, 1);

    openDetail([&](HWND detail) {
        EXPECT_EQ(WindowText(::GetDlgItem(detail, IDC_PERIOD)), L"すべて");
        EXPECT_EQ(::IsDlgButtonChecked(detail, IDC_SYSTEM_WARNING), BST_UNCHECKED);
        ::SendMessageW(::GetDlgItem(detail, IDC_PERIOD), CB_SETCURSEL, 0, 0);
        ::CheckDlgButton(detail, IDC_APPLICATION_INFO, BST_UNCHECKED);
        ::PostMessageW(::GetDlgItem(detail, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(request.PeriodIndex, 4) << "Cancel keeps what was stored";
    EXPECT_EQ(request.ApplicationLevels, (std::array<BYTE, 4>{1, 1, 1, 1}));
}

// Run by the test program's copy that Wine shows a Windows XP.
TEST_F(SaveTest, BeforeVistaTheDetailDialogChoosesWholeLogs)
{
    ASSERT_FALSE(IsVistaOrLater()) << "this test runs as qxdiag_tests_xp.exe, which sees Windows XP";
    Page().Request().LegacyApplicationLog = 0;
    const auto openDetail = [&](const std::function<void(HWND)>& whileOpen) {
        const int seen = test::WhileRunning(
            IDD_EVENTLOG_XP_DLG,
            [&] { ::SendMessageW(::GetDlgItem(PageWindow(), IDC_EVENTLOG_DETAIL), BM_CLICK, 0, 0); }, whileOpen);
        EXPECT_EQ(seen, 1);
    };
    openDetail([&](HWND detail) {
        EXPECT_EQ(::IsDlgButtonChecked(detail, IDC_LEGACY_SYSTEM), BST_CHECKED);
        EXPECT_EQ(::IsDlgButtonChecked(detail, IDC_LEGACY_APPLICATION), BST_UNCHECKED);
        EXPECT_EQ(::IsDlgButtonChecked(detail, IDC_LEGACY_SECURITY), BST_CHECKED);
        ::CheckDlgButton(detail, IDC_LEGACY_SECURITY, BST_UNCHECKED);
        ::CheckDlgButton(detail, IDC_LEGACY_APPLICATION, BST_CHECKED);
        ::PostMessageW(::GetDlgItem(detail, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Page().Request().LegacySystemLog, 1);
    EXPECT_EQ(Page().Request().LegacyApplicationLog, 1);
    EXPECT_EQ(Page().Request().LegacySecurityLog, 0);

    openDetail([&](HWND detail) {
        ::CheckDlgButton(detail, IDC_LEGACY_SYSTEM, BST_UNCHECKED);
        ::PostMessageW(::GetDlgItem(detail, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Page().Request().LegacySystemLog, 1);
}

}  // namespace
}  // namespace qx
