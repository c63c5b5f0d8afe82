#pragma once
// Drives QXDIAG.exe from another process, as a user would: starts it, finds its
// windows, presses its buttons and keys, and captures what it shows. Every wait
// polls with a timeout, so a tool that misbehaves fails a test instead of hanging it.

#include "platform/handles.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace qx::e2e {

using Duration = std::chrono::milliseconds;
inline constexpr Duration kTimeout{10'000};
// A whole collection of every item on the fake machine.
inline constexpr Duration kRunTimeout{120'000};

// The captions of the tool's windows.
inline constexpr wchar_t kCaption[] = L"TOVRA DIAG";
inline constexpr wchar_t kProgressCaption[] = L"TOVRA DIAG - 情報の取得";
inline constexpr wchar_t kDetailCaption[] = L"TOVRA DIAG - イベントログの詳細設定";
inline constexpr wchar_t kSaveCaption[] = L"TOVRA DIAG - 保存";
inline constexpr wchar_t kCancelCaption[] = L"TOVRA DIAG - 情報取得のキャンセル";
// The caption of the standard message box of the settings and Vorlix pages:
// the name of the exe that shows it, without ".exe".
inline constexpr wchar_t kBoxCaption[] = L"QXDIAG";
inline constexpr wchar_t kRestartRecordingBoxCaption[] = L"qxdiag_restart_recorded";

// The questions of the settings pages.
inline constexpr wchar_t kRestartQuestion[] = L"レジストリを設定しました。\n再起動しますか？";
inline constexpr wchar_t kClearQuestion[] = L"レジストリの設定を削除します。\nよろしいですか？";
inline constexpr wchar_t kClearRestartQuestion[] = L"ログの削除には再起動が必要です。\n再起動しますか？";

// A registry value under HKEY_LOCAL_MACHINE.
struct RegistryValueName {
    const wchar_t* key;
    const wchar_t* name;
};
inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Orvek\\TOVRA";
inline constexpr wchar_t kLocalDumpsKey[] = L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\LocalDumps";
// The six values that page 149 writes and page 151 deletes, in that order.
inline constexpr RegistryValueName kDebugLogValues[] = {
    {kProductKey, L"LogPath"},     {kProductKey, L"LogLevel"},     {kProductKey, L"LogType"},
    {kProductKey, L"LogDays"},     {kLocalDumpsKey, L"DumpType"}, {kLocalDumpsKey, L"DumpFolder"},
};

// The tool beside the build tree's test programs: build/tests/e2e/X.exe -> build/QXDIAG.exe.
std::filesystem::path QxdiagExePath();
// Its copy qxdiag_xp.exe beside it, which the prefix makes see Windows XP.
std::filesystem::path QxdiagXpExePath();
// The tool built with its restart written down instead of done, beside it: it
// appends each restart asked for to the file that the environment variable
// kRestartRecordVariable names when it starts.
std::filesystem::path RestartRecordingExePath();
inline constexpr wchar_t kRestartRecordVariable[] = L"QXDIAG_RESTART_RECORD";
// qxcollect.exe built to press Ctrl+C or Ctrl+Break itself, beside it, when the
// step that kCtrlAtStepVariable counts starts: the event kCtrlEventVariable
// names, "c" or "break".
std::filesystem::path CtrlPressingQxcollectExePath();
inline constexpr wchar_t kCtrlAtStepVariable[] = L"QXCOLLECT_CTRL_AT_STEP";
inline constexpr wchar_t kCtrlEventVariable[] = L"QXCOLLECT_CTRL_EVENT";

// Polls `done` until it holds or `timeout` has passed; returns its last answer.
template <class Condition>
bool WaitUntil(Condition done, Duration timeout = kTimeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ::Sleep(10);
    }
}

// One run of the tool. Ends a run that is still going when destroyed, so that a
// failed test leaves no process behind.
class App {
public:
    App() = default;
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Starts the tool, once per App; false (with GetLastError) when CreateProcessW fails.
    bool Start(const std::filesystem::path& exe = QxdiagExePath());
    // The shown main window of this process; nullptr after the timeout.
    HWND WaitForMainWindow(Duration timeout = kTimeout);
    HWND MainWindow() const noexcept { return main_; }
    DWORD ProcessId() const noexcept { return pid_; }
    bool Running() const;
    // The exit code once the process has ended; nothing after the timeout.
    std::optional<DWORD> WaitForExit(Duration timeout = kTimeout);
    void Kill();

private:
    UniqueHandleKernel process_;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
};

// A shown top-level dialog (class #32770) of process `pid` with this caption and owner.
HWND FindDialog(DWORD pid, const wchar_t* caption, HWND owner);
HWND WaitForDialog(DWORD pid, const wchar_t* caption, HWND owner, Duration timeout = kTimeout);
// The same dialog shown or not yet shown, as it is while its WM_INITDIALOG runs.
HWND FindCreatedDialog(DWORD pid, const wchar_t* caption, HWND owner);
// How many top-level windows process `pid` shows: 1 when only the main window is up.
int ShownWindowCount(DWORD pid);
// A shown top-level window titled `title` of any process but `pid`, such as one
// that the tool opens through the shell.
HWND FindOtherProcessWindow(DWORD pid, const wchar_t* title);
// Until `window` has been destroyed.
bool WaitUntilGone(HWND window, Duration timeout = kTimeout);
// The caption or text of a window of any process, up to 1023 characters, read
// without a message to it (an edit control's text is not there: send WM_GETTEXT).
std::wstring TextOf(HWND window);

// --- Message boxes and the folder picker -----------------------------------

// A message box as the user sees it.
struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // the ids of its shown buttons, in window order
};
// A shown message box of process `pid` owned by `owner` (nullptr: one without
// owner): a dialog whose text is the static control 0xFFFF.
std::optional<MessageBoxView> FindMessageBox(DWORD pid, HWND owner);
std::optional<MessageBoxView> WaitForMessageBox(DWORD pid, HWND owner, Duration timeout = kTimeout);
// Clicks `button` (IDYES, IDNO, IDOK) and waits until the box has gone.
bool AnswerMessageBox(HWND box, int button, Duration timeout = kTimeout);

// Asked after the outcome of a completed collection has been answered.
inline constexpr wchar_t kArchiveQuestion[] =
    L"保存フォルダーを1つのZIPファイルにまとめますか？\n（サポートへ送付する場合は「はい」を選択してください）";
// Waits for the archive question of process `pid` and gives it `button`.
bool AnswerArchiveQuestion(DWORD pid, int button, Duration timeout = kTimeout);

// The shown folder picker of process `pid` owned by `owner`: the dialog with the
// file-name edit 1152.
HWND WaitForFolderPicker(DWORD pid, HWND owner, Duration timeout = kTimeout);
// Types the full path `folder` into the picker's name edit; true when it holds it.
bool TypeFolder(HWND picker, const std::wstring& folder);
// Types `folder` and presses the picker's OK button; true once the picker has gone.
bool ChooseFolder(HWND picker, const std::wstring& folder, Duration timeout = kTimeout);
// Presses its Cancel button; true once the picker has gone.
bool CancelFolderPicker(HWND picker, Duration timeout = kTimeout);

// --- Collections -------------------------------------------------------------

// On the collection page: presses Save and chooses `folder` in the picker; true
// once the picker has taken it. The run starts then; with few items it may end
// before its progress dialog can be seen.
bool StartCollection(const App& app, const std::wstring& folder, Duration timeout = kTimeout);

// The collection page's item check boxes 2010 ... 2014, in the order of the run's steps.
std::span<const int> ItemCheckBoxes();
// Clicks check box `id` of `dialog` when it is not in state `checked`, and waits
// until it is; false when it does not get there.
bool SetCheckBox(HWND dialog, int id, bool checked, Duration timeout = kTimeout);

// --- Run logs and output folders -------------------------------------------

// The text of a run log, which is written in code page 932; empty when `bytes`
// are not code page 932.
std::wstring DecodeCodePage932(const std::string& bytes);

// One entry of a run log: the text after its time stamp, with the tab lines
// that follow it. The files of a folder are listed in the order that the file
// system gives them, so those lines are a multiset.
struct RunLogEntry {
    std::wstring text;
    std::multiset<std::wstring> lines;
    bool operator==(const RunLogEntry&) const = default;
};
// The entries of a run log's text; separator lines belong to none.
std::vector<RunLogEntry> RunLogEntries(const std::wstring& log);

// The names of the files and folders in `folder`.
std::set<std::wstring> NamesIn(const std::wstring& folder);
// An environment variable of this process, which the tool inherits; empty when unset.
std::wstring EnvironmentVariable(const wchar_t* name);

// --- Pages -------------------------------------------------------------------

// The page window shown in the sheet: its one visible child dialog, or nullptr
// while none or more than one is visible.
HWND CurrentPageWindow(HWND sheet);
// The dialog id of a page window, told by the controls that only that page has;
// 0 for a window that is no known page.
int PageIdOf(HWND page);
int CurrentPageId(HWND sheet);
// Waits until page `pageId` is the one shown and the focus has moved into it
// (the sheet gives the focus after showing a page: keys sent earlier would reach
// the page just left).
bool WaitForPage(HWND sheet, int pageId, Duration timeout = kTimeout);
// "146" or "none (visible: 146 148)": for failure messages.
std::string DescribePages(HWND sheet);

// One forward button of the navigation table.
struct NavigationButton {
    int from;
    int button;
    int shows;
    bool hidden;  // created hidden, so only its command can reach the page
};
std::span<const NavigationButton> NavigationTable();
// The page that "戻る" (id 2) and Esc lead to; 0 on the menu page, where they close the tool.
int ParentPage(int pageId);
// Presses the button of a navigation row on the current page (its command when
// the button is hidden) and waits for the page it shows.
bool Navigate(HWND sheet, const NavigationButton& row, Duration timeout = kTimeout);
// From any page back to the menu page through the "戻る" buttons.
bool BackToMenu(HWND sheet, Duration timeout = kTimeout);
// From the menu page along the navigation table to page `pageId`.
bool GoFromMenu(HWND sheet, int pageId, Duration timeout = kTimeout);

// --- Input -------------------------------------------------------------------

// Clicks a shown and enabled push button (posted BM_CLICK, so a button that opens
// a modal dialog does not block the caller); false when no user could click it.
bool ClickButton(HWND dialog, int id);
// Posts the WM_COMMAND (BN_CLICKED) that button `id` of `dialog` would send.
bool PostCommand(HWND dialog, int id);
// The window that has the keyboard focus in the thread that owns `window`.
HWND FocusOf(HWND window);
// Posts a key press (down and up) to that focus window, where the tool's message
// loop pre-translates it as it would a typed key.
bool PressKey(HWND window, WORD virtualKey);
bool PostSysCommand(HWND window, WPARAM command);

// --- Screen capture ----------------------------------------------------------

// A 24-bit picture: bottom-up rows of blue, green, red, each padded to 4 bytes.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    bool operator==(const Image&) const = default;
};

// The window as it is on the screen, with its frame.
std::optional<Image> CaptureWindow(HWND window);
// Captures until two captures in a row agree, so that painting has finished.
std::optional<Image> CaptureSettled(HWND window, Duration timeout = kTimeout);
bool SaveBmp(const Image& image, const std::filesystem::path& file);

}  // namespace qx::e2e
