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
#include "settings/product_settings.h"
#include "quiet_progress.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <map>
#include <string>
#include <vector>

namespace qx {
namespace {

const std::string kSeparator(75, '-');

using test::QuietProgress;
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

TEST(RunCollection, RunsChosenStepsInOrderBetweenSeparators)
{
    TempFolder folder;
    QuietProgress progress;
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
    QuietProgress progress;
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

TEST(RunCollection, ANewRunLogGetsOpenAccessAnEarlierOneKeepsItsOwn)
{
    TempFolder folder;
    const std::string openDacl = test::OpenAccessDacl(folder.Path());
    const CollectionPlan plan{{WriteAlways}, {}};
    const struct {
        const wchar_t* Folder;
        bool Earlier;
    } cases[] = {{L"new", false}, {L"earlier", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Earlier ? "a run log of an earlier run" : "a new run log");
        QuietProgress progress;
        progress.request.OutputFolder = folder / c.Folder;
        ASSERT_TRUE(::CreateDirectoryW(progress.request.OutputFolder.c_str(), nullptr));
        const std::wstring runLog = RunLogPath(progress.request.OutputFolder);
        if (c.Earlier) {
            ASSERT_TRUE(WriteBytes(runLog, "earlier\r\n"));
        }
        const std::string earlierDacl = test::DaclBytes(runLog);

        EXPECT_EQ(RunCollection(progress, plan), RunOutcome::Completed);

        EXPECT_EQ(test::DaclBytes(runLog), c.Earlier ? earlierDacl : openDacl);
        EXPECT_EQ(ReadLines(runLog).size(), c.Earlier ? 4u : 3u);
    }
}

TEST(RunCollection, UnwritableRunLogStopsBeforeAnything)
{
    TempFolder folder;
    QuietProgress progress;
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
    void SetItems(const std::vector<int>& checked)
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

// The free space of the chosen volume through its seam; the debug-log item
// would copy a 5 MiB log and the fake machine's few small ones.
TEST_F(SaveTest, AVolumeTooSmallForTheChosenItemsIsAskedAbout)
{
    TempFolder logs(L"space logs");
    ASSERT_TRUE(WriteBytes(logs / L"QXAgent_big.txt", std::string(5 << 20, 'x')));
    const test::SavedValue logPath{kProductKey, L"LogPath"};
    test::SetString(kProductKey, L"LogPath", logs.Path());
    const ScopeExit realSpace([] { TheFreeSpaceSeam() = {}; });
    const std::wstring question = L"保存先の空き容量が不足している可能性があります。\n必要な容量：約6 MB\n空き容量：1 MB\n\n続行しますか？";
    const std::wstring done = L"情報収集が完了しました。保存フォルダーを開きますか？";
    const std::wstring archive =
        L"保存フォルダーを1つのZIPファイルにまとめますか？\n（サポートへ送付する場合は「はい」を選択してください）";
    const struct {
        const char* Name;
        std::optional<std::uint64_t> Free;
        int Answer;
        std::vector<std::wstring> Boxes;
        bool Collected;
    } cases[] = {
        {"enough space", std::uint64_t{1} << 40, IDNO, {done, archive}, true},
        {"short, No", std::uint64_t{1} << 20, IDNO, {question}, false},
        {"short, Yes", std::uint64_t{1} << 20, IDYES, {question, done, archive}, true},
        {"free space unknown", std::nullopt, IDNO, {done, archive}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder::RemoveTree(Output());
        asked.clear();
        std::wstring askedAbout;
        TheFreeSpaceSeam().freeBytes = [&c, &askedAbout](const std::wstring& path) {
            askedAbout = path;
            return c.Free;
        };
        answer = [&c, &question](const std::wstring& text) { return text == question ? c.Answer : IDNO; };
        SetItems({IDC_ITEM_DEBUGLOG});
        ClickSave();

        EXPECT_EQ(askedAbout, folder.Path()) << "the chosen folder's volume";
        std::vector<std::wstring> texts;
        for (const AskedBox& box : asked) texts.push_back(box.text);
        EXPECT_EQ(texts, c.Boxes);
        if (!asked.empty() && asked[0].text == question) {
            EXPECT_EQ(asked[0].owner, nullptr);
            EXPECT_EQ(asked[0].caption, L"TOVRA DIAG - 保存");
            EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
        }
        EXPECT_EQ(::GetFileAttributesW(Output().c_str()) != INVALID_FILE_ATTRIBUTES, c.Collected)
            << "No leaves everything as it was";
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

// The Cancel button of the archive's progress dialog, clicked and confirmed as
// the dialog has just been initialised: its worker has started, and it waits
// for this thread to take its first title before it reaches a checkpoint.
struct ArchiveCancel {
    int progressDialogs = 0;
    HWND clicked = nullptr;
};
ArchiveCancel* g_archiveCancel = nullptr;

LRESULT CALLBACK ClickCancelOfTheSecondProgressDialog(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_archiveCancel && message->message == WM_INITDIALOG) {
        HWND button = ::GetDlgItem(message->hwnd, IDC_CANCEL_RUN);
        if (button && ++g_archiveCancel->progressDialogs == 2) {
            g_archiveCancel->clicked = message->hwnd;
            ::SendMessageW(button, BM_CLICK, 0, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(SaveTest, YesToTheArchiveThenCancelLeavesNoArchive)
{
    const std::wstring done = L"情報収集が完了しました。保存フォルダーを開きますか？";
    const std::wstring archive =
        L"保存フォルダーを1つのZIPファイルにまとめますか？\n（サポートへ送付する場合は「はい」を選択してください）";
    const std::wstring confirm = L"情報収集の処理を中断しキャンセルしますか？";
    const std::wstring cancelled = L"ZIPファイルの作成を中断しました。作成途中のファイルは削除されました。";
    answer = [&](const std::wstring& text) { return text == archive || text == confirm ? IDYES : IDNO; };
    ArchiveCancel cancel;
    g_archiveCancel = &cancel;
    const ScopeExit noMore([] { g_archiveCancel = nullptr; });
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, ClickCancelOfTheSecondProgressDialog, nullptr,
                                     ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr) << ::GetLastError();
    const ScopeExit unhook([hook] { ::UnhookWindowsHookEx(hook); });
    SetItems({IDC_ITEM_DEBUGLOG});
    ClickSave();

    ASSERT_NE(cancel.clicked, nullptr) << "the archive's progress dialog was shown";
    std::vector<std::wstring> texts;
    for (const AskedBox& box : asked) texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{done, archive, confirm, cancelled}));
    if (asked.size() == 4) {
        EXPECT_EQ(asked[2].owner, cancel.clicked);
        EXPECT_EQ(asked[3].caption, L"TOVRA DIAG - 保存");
        EXPECT_EQ(asked[3].type, static_cast<UINT>(MB_ICONINFORMATION));
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    UniqueHandleFind find(::FindFirstFileW((folder.Path() + L"\\*").c_str(), &found));
    ASSERT_TRUE(find);
    do {
        if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..") {
            names.push_back(found.cFileName);
        }
    } while (::FindNextFileW(find.get(), &found));
    EXPECT_EQ(names, std::vector<std::wstring>{L"QXDIAG"}) << "the cancelled archive is deleted";
    EXPECT_EQ(ReadLines(Output() + L"\\QXDIAG.log"),
              (std::vector<std::string>{kSeparator, "always", "debug", kSeparator}))
        << "the collection stays";
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
    // A folder below the temp folder whose path has `length` characters.
    const auto ofLength = [this](size_t length) {
        return folder.Path() + L"\\" + std::wstring(length - folder.Path().size() - 1, L'd');
    };
    // The longest fixed path below the picked folder: all runs, the event logs, the registry.
    const size_t runLog = std::wstring(L"\\QXDIAG\\QXDIAG.log").size();
    const size_t eventFile = std::wstring(L"\\QXDIAG\\event\\tovrasecurity.evtx").size();
    const size_t registryFile = std::wstring(L"\\QXDIAG\\registry\\wow6432node_poricies_orvek.reg").size();
    const struct {
        const char* What;
        std::wstring Picked;
        std::vector<int> Items;
        bool Refused;
    } cases[] = {
        {"the run log one over", ofLength(MAX_PATH - runLog), {}, true},
        {"an event log one over", ofLength(MAX_PATH - eventFile), {IDC_ITEM_EVENTLOG}, true},
        {"a registry file one over", ofLength(MAX_PATH - registryFile), {IDC_ITEM_DEBUGLOG, IDC_ITEM_REGISTRY}, true},
        {"every item's path fits", ofLength(MAX_PATH - 1 - registryFile),
         {IDC_ITEM_EVENTLOG, IDC_ITEM_DEBUGLOG, IDC_ITEM_CRASHDUMP, IDC_ITEM_REGISTRY, IDC_ITEM_VORLIX}, false},
        {"the folder too long for the registry, with the other items", ofLength(MAX_PATH - registryFile),
         {IDC_ITEM_DEBUGLOG, IDC_ITEM_CRASHDUMP, IDC_ITEM_VORLIX}, false},
        {"a picked folder of 260 characters", ofLength(MAX_PATH), {}, true},
        {"a picked folder of 300 characters", ofLength(300), {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        asked.clear();
        picked = c.Picked;
        SetItems(c.Items);
        ClickSave();
        // A completed run also asks whether to make the archive.
        ASSERT_EQ(asked.size(), c.Refused ? 1u : 2u);
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(PageWindow(), IDC_SAVE)));
        if (c.Refused) {
            EXPECT_EQ(asked[0].text, L"出力先への書き込みに失敗しました。書き込み権限を確認してください。");
            EXPECT_EQ(asked[0].caption, L"TOVRA DIAG - 保存");
            EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONINFORMATION));
            EXPECT_EQ(::GetFileAttributesW(c.Picked.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was created";
        } else {
            EXPECT_EQ(asked[0].text, L"情報収集が完了しました。保存フォルダーを開きますか？");
            EXPECT_TRUE(IsDirectory(c.Picked + L"\\QXDIAG"));
        }
    }
}

// Laid into the prefix by tests/machine/seed: folders a user might pick, each
// with a link in the place of "QXDIAG", "QXDIAG.log" or "dump" that leads into
// "outside".
constexpr wchar_t kLinkAttacks[] = L"C:\\qxdiag-fixtures\\link-attacks";

enum class Attack {
    // The folder is picked for Save.
    Save,
    // A run starts with it as the output folder.
    Run,
    // It is given open access.
    OpenAccess,
};

TEST_F(SaveTest, LinkAttacksLeaveEverythingOutsideTheTreeAsItWas)
{
    const struct {
        const char* What;
        Attack By;
        // Below kLinkAttacks.
        const wchar_t* Path;
        // What stays byte for byte as it was, below kLinkAttacks: everything, or
        // at least "outside". A link that leads nowhere is not seen before the
        // run log is opened (Wine lists no such entry at all), so the folders of
        // that Save come into being, inside the tree, before the run stops.
        const wchar_t* Survives;
    } attacks[] = {
        {"Save into a folder whose QXDIAG is a directory link", Attack::Save, L"qxdiag-is-link", L""},
        {"Save where QXDIAG.log is a link to a file", Attack::Save, L"log-is-link", L""},
        {"Save where dump is a directory link", Attack::Save, L"dump-is-link", L""},
        {"Save where QXDIAG.log is a link to no file", Attack::Save, L"log-is-dangling-link", L"outside"},
        {"a run whose QXDIAG.log is a link to a file", Attack::Run, L"log-is-link\\QXDIAG", L""},
        {"a run whose QXDIAG.log is a link to no file", Attack::Run, L"log-is-dangling-link\\QXDIAG", L""},
        {"open access for a directory link", Attack::OpenAccess, L"qxdiag-is-link\\QXDIAG", L""},
        {"open access for a link to a file", Attack::OpenAccess, L"log-is-link\\QXDIAG\\QXDIAG.log", L""},
        {"open access for a directory link inside the tree", Attack::OpenAccess, L"dump-is-link\\QXDIAG\\dump",
         L""},
    };
    const std::wstring outside = std::wstring(kLinkAttacks) + L"\\outside";
    ASSERT_EQ(test::Snapshot(outside).count(L"victim.log"), 1u) << "the fake machine's seed makes the links";
    // A Save that went on would write what the tool writes.
    Page().SetCollectionPlan(DefaultCollectionPlan());
    SetItems({IDC_ITEM_EVENTLOG, IDC_ITEM_DEBUGLOG, IDC_ITEM_CRASHDUMP, IDC_ITEM_REGISTRY, IDC_ITEM_VORLIX});

    for (const auto& attack : attacks) {
        SCOPED_TRACE(attack.What);
        const std::wstring path = std::wstring(kLinkAttacks) + L"\\" + attack.Path;
        const std::wstring survivor = std::wstring(kLinkAttacks) + (*attack.Survives ? L"\\" : L"") + attack.Survives;
        const std::map<std::wstring, std::string> before = test::Snapshot(survivor);
        asked.clear();
        switch (attack.By) {
        case Attack::Save:
            picked = path;
            ClickSave();
            ASSERT_EQ(asked.size(), 1u);
            EXPECT_EQ(asked[0].text, L"出力先への書き込みに失敗しました。書き込み権限を確認してください。");
            EXPECT_EQ(asked[0].caption, L"TOVRA DIAG - 保存");
            break;
        case Attack::Run: {
            QuietProgress progress;
            progress.request.OutputFolder = path;
            EXPECT_EQ(RunCollection(progress, CollectionPlan{{WriteAlways}, {}}), RunOutcome::RunLogFailed);
            break;
        }
        case Attack::OpenAccess:
            ApplyOpenAccess(path);
            break;
        }

        const std::map<std::wstring, std::string> after = test::Snapshot(survivor);
        for (const auto& [name, entry] : before) {
            const auto found = after.find(name);
            EXPECT_TRUE(found != after.end() && found->second == entry) << "changed: " << testing::PrintToString(name);
        }
        for (const auto& [name, entry] : after) {
            EXPECT_EQ(before.count(name), 1u) << "new: " << testing::PrintToString(name);
        }
    }
    EXPECT_EQ(test::Snapshot(outside).count(L"missing.log"), 0u);
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
