// Drives QXDIAG.exe for the project's scripts.
//   qxdrive shots DIR        starts the tool, reaches every page through its buttons
//                            and saves each, then the detail dialog 133, the progress
//                            dialog 136 during a collection and the about box; then
//                            dialog 139 from the copy that sees Windows XP; all as
//                            DIR\<id>-<name>.bmp
//   qxdrive collect FOLDER   collects every item into FOLDER\QXDIAG through the
//                            folder picker, answers No to the offer to open it and
//                            prints that folder
//   qxdrive settings FILE    switches debug logging on and off again and the Vorlix
//                            autostart to the logging build and back, through pages
//                            149, 151, 204 and 205; before and after each it appends
//                            the registry values involved to FILE (UTF-8, CR LF).
//                            A restart question is always answered No.
// Exits 0 when all went through and the tool ended with exit code 0.

#include "driver.h"
#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace qx::e2e {
namespace {

struct Shot {
    const wchar_t* name;
    std::initializer_list<int> buttons;  // pressed in turn from the menu page
};

const Shot kPageShots[] = {
    {L"146-menu", {}},
    {L"148-log-settings", {IDC_MENU_LOGSETTING}},
    {L"102-collect", {IDC_MENU_COLLECT}},
    {L"149-debuglog-on", {IDC_MENU_LOGSETTING, IDC_LOG_COLLECTSETTING}},
    {L"151-debuglog-off", {IDC_MENU_LOGSETTING, IDC_LOG_CLEARSETTING}},
    {L"154-vorlix-menu", {IDC_MENU_VLXLOGSETTING}},
    {L"155-vorlix-exec", {IDC_MENU_VLXLOGSETTING, IDC_VLX_EXEC}},
    {L"156-console-edge", {IDC_MENU_VLXLOGSETTING, IDC_VLX_EDGE}},
    {L"156-console-chrome", {IDC_MENU_VLXLOGSETTING, IDC_VLX_CHROME}},
    {L"204-vorlix-log-on", {IDC_MENU_LOGSETTING, IDC_LOG_VLXCOLLECT}},
    {L"205-vorlix-log-off", {IDC_MENU_LOGSETTING, IDC_LOG_VLXCLEAR}},
};

constexpr WPARAM kAboutCommand = 0x0010;

bool Fail(const std::string& what)
{
    std::fprintf(stderr, "qxdrive: %s\n", what.c_str());
    return false;
}

bool Press(HWND sheet, int button)
{
    const int from = CurrentPageId(sheet);
    const auto table = NavigationTable();
    const auto row = std::find_if(table.begin(), table.end(),
                                  [&](const auto& r) { return r.from == from && r.button == button; });
    return row != table.end() && Navigate(sheet, *row);
}

bool Save(HWND window, const std::filesystem::path& file)
{
    const std::optional<Image> image = CaptureSettled(window);
    if (!image || !SaveBmp(*image, file)) return Fail("cannot capture " + file.string());
    std::printf("%s\n", file.string().c_str());
    return true;
}

// Starts `exe` and waits for its menu page; the main window, or nullptr.
HWND Open(App& app, const std::filesystem::path& exe)
{
    if (!app.Start(exe)) {
        Fail("cannot start " + exe.string() + " (" + std::to_string(::GetLastError()) + ")");
        return nullptr;
    }
    HWND sheet = app.WaitForMainWindow();
    if (!sheet || !WaitForPage(sheet, IDD_MENU_PAGE)) Fail("no main window \"TOVRA DIAG\" on its menu page");
    return sheet;
}

bool Close(App& app)
{
    PostSysCommand(app.MainWindow(), SC_CLOSE);
    if (app.WaitForExit() != 0u) return Fail("the tool did not end with exit code 0");
    return true;
}

bool ToCollectionPage(HWND sheet)
{
    if (BackToMenu(sheet) && GoFromMenu(sheet, IDD_EVENTLOG_PAGE)) return true;
    return Fail("cannot reach the collection page; page shown: " + DescribePages(sheet));
}

// Waits for the end of a run that was started and answers No to the offer to
// open the output folder and to the archive question, which is captured into
// `archiveShot` first unless that is empty.
bool FinishCollection(const App& app, const std::filesystem::path& archiveShot = {})
{
    const std::optional<MessageBoxView> done = WaitForMessageBox(app.ProcessId(), nullptr, kRunTimeout);
    if (!done) return Fail("the collection did not end");
    if (done->caption != kSaveCaption || done->buttons != std::vector<int>{IDYES, IDNO}) {
        AnswerMessageBox(done->window, done->buttons.empty() ? IDOK : done->buttons.front());
        return Fail("the collection did not complete");
    }
    if (!AnswerMessageBox(done->window, IDNO)) return Fail("the completion message does not close");
    if (!archiveShot.empty()) {
        const std::optional<MessageBoxView> question = WaitForMessageBox(app.ProcessId(), nullptr);
        if (!question || question->text != kArchiveQuestion) return Fail("no archive question after the run");
        if (!Save(question->window, archiveShot)) return false;
    }
    return AnswerArchiveQuestion(app.ProcessId(), IDNO) || Fail("no archive question after the run");
}

// The detail dialog of the collection page, told apart by `control`.
bool DetailShot(const App& app, int control, const std::filesystem::path& file)
{
    HWND sheet = app.MainWindow();
    if (!ToCollectionPage(sheet) || !ClickButton(CurrentPageWindow(sheet), IDC_EVENTLOG_DETAIL)) {
        return Fail("cannot open the detail dialog");
    }
    HWND detail = WaitForDialog(app.ProcessId(), kDetailCaption, sheet);
    if (!detail) return Fail("no detail dialog");
    const bool saved = ::GetDlgItem(detail, control) ? Save(detail, file)
                                                     : Fail("the detail dialog has no control " + std::to_string(control));
    if (!ClickButton(detail, IDCANCEL) || !WaitUntilGone(detail)) return Fail("the detail dialog does not close");
    return saved;
}

// The progress dialog once a collector has moved its bar, during a collection
// into a folder under the temp folder that is removed afterwards, and the
// archive question that follows it.
bool ProgressShot(const App& app, const std::filesystem::path& file, const std::filesystem::path& archiveShot)
{
    HWND sheet = app.MainWindow();
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / L"qxdrive-shots";
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder, error);
    struct RemoveAfterwards {
        std::filesystem::path folder;
        ~RemoveAfterwards()
        {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    } removeAfterwards{folder};

    if (!ToCollectionPage(sheet) || !StartCollection(app, folder.wstring())) return Fail("cannot start a collection");
    HWND progress = WaitForDialog(app.ProcessId(), kProgressCaption, sheet);
    if (!progress) return Fail("no progress dialog");
    HWND bar = ::GetDlgItem(progress, IDC_PROGRESS);
    WaitUntil([&] { return !::IsWindow(progress) || ::SendMessageW(bar, PBM_GETPOS, 0, 0) > 0; }, kRunTimeout);
    // A capture counts only when the dialog was there before and after it.
    bool saved = false;
    while (!saved && ::IsWindow(progress)) {
        const std::optional<Image> image = CaptureSettled(progress, Duration{3000});
        if (image && ::IsWindow(progress)) saved = SaveBmp(*image, file);
    }
    if (saved) std::printf("%s\n", file.string().c_str());
    return FinishCollection(app, archiveShot) &&
           (saved || Fail("the progress dialog closed before it could be captured"));
}

bool Shots(const std::filesystem::path& directory)
{
    App app;
    HWND sheet = Open(app, QxdiagExePath());
    if (!sheet) return false;
    for (const Shot& shot : kPageShots) {
        if (!BackToMenu(sheet)) return Fail("cannot return to the menu page from " + DescribePages(sheet));
        for (int button : shot.buttons) {
            if (!Press(sheet, button)) {
                return Fail("button " + std::to_string(button) + " did not lead on; page shown: " + DescribePages(sheet));
            }
        }
        if (!WaitForPage(sheet, CurrentPageId(sheet))) return Fail("no page settled");
        if (!Save(sheet, directory / (std::wstring(shot.name) + L".bmp"))) return false;
    }
    if (!DetailShot(app, IDC_PERIOD, directory / L"133-eventlog-detail.bmp")) return false;
    if (!ProgressShot(app, directory / L"136-progress.bmp", directory / L"136-archive-question.bmp")) return false;

    if (!BackToMenu(sheet) || !PostSysCommand(sheet, kAboutCommand)) return Fail("cannot open the about box");
    HWND about = WaitForDialog(app.ProcessId(), kCaption, sheet);
    if (!about) return Fail("no about box");
    if (!Save(about, directory / L"100-about.bmp")) return false;
    if (!ClickButton(about, IDOK) || !WaitUntilGone(about)) return Fail("the about box does not close");
    if (!Close(app)) return false;

    // Dialog 139 shows only where the tool sees a Windows older than Vista.
    App xp;
    if (!Open(xp, QxdiagXpExePath())) return false;
    return DetailShot(xp, IDC_LEGACY_SYSTEM, directory / L"139-eventlog-detail-xp.bmp") && Close(xp);
}

bool Collect(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    App app;
    HWND sheet = Open(app, QxdiagExePath());
    if (!sheet || !ToCollectionPage(sheet)) return false;
    if (!StartCollection(app, folder.wstring())) return Fail("the folder picker did not take " + folder.string());
    if (!FinishCollection(app) || !Close(app)) return false;
    std::printf("%s\n", (folder / L"QXDIAG").string().c_str());
    return true;
}

// --- The settings jobs ---------------------------------------------------------

// The values recorded around each step: the debug-log values and the Vorlix Run value.
std::vector<RegistryValueName> WatchedValues()
{
    std::vector<RegistryValueName> values(std::begin(kDebugLogValues), std::end(kDebugLogValues));
    values.push_back({L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Vorlix"});
    return values;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

// "REG_SZ <text>", "REG_DWORD <n>" or "(absent)", as the value is now under HKLM.
std::wstring Describe(const RegistryValueName& value)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, value.key, value.name, flags, &type, nullptr, &size) != ERROR_SUCCESS) {
        return L"(absent)";
    }
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, value.key, value.name, flags, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
        return L"(absent)";
    }
    switch (type) {
    case REG_SZ: return L"REG_SZ " + std::wstring(reinterpret_cast<const wchar_t*>(data.data()));
    case REG_EXPAND_SZ: return L"REG_EXPAND_SZ " + std::wstring(reinterpret_cast<const wchar_t*>(data.data()));
    case REG_DWORD: return L"REG_DWORD " + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    default: return L"type " + std::to_wstring(type) + L", " + std::to_wstring(size) + L" bytes";
    }
}

std::wstring WatchedValuesText()
{
    std::wstring text;
    for (const RegistryValueName& value : WatchedValues()) {
        text += L"  HKLM\\" + std::wstring(value.key) + L" " + value.name + L" = " + Describe(value) + L"\r\n";
    }
    return text;
}

bool AppendText(const std::filesystem::path& file, const std::wstring& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << Utf8(text);
    return out.good() || Fail("cannot write " + file.string());
}

// Waits for the tool's standard message box with `text` and answers it. A box
// with another text is answered No, so that no restart can slip through.
bool Expect(const App& app, const wchar_t* text, int answer)
{
    const std::optional<MessageBoxView> box = WaitForMessageBox(app.ProcessId(), app.MainWindow());
    if (!box) return Fail("no message box");
    if (box->caption != kBoxCaption || box->text != text) {
        AnswerMessageBox(box->window, box->buttons.size() > 1 ? IDNO : IDOK);
        return Fail("unexpected message box: " + Utf8(box->text));
    }
    return AnswerMessageBox(box->window, answer) || Fail("the message box does not close");
}

struct SettingsStep {
    const wchar_t* title;
    int button;  // on page 148
    std::initializer_list<std::pair<const wchar_t*, int>> answers;
};
const SettingsStep kSettingsSteps[] = {
    {L"debug logging on (page 149)", IDC_LOG_COLLECTSETTING, {{kRestartQuestion, IDNO}}},
    {L"debug logging off (page 151)", IDC_LOG_CLEARSETTING, {{kClearQuestion, IDYES}, {kClearRestartQuestion, IDNO}}},
    {L"Vorlix autostart to the logging build (page 204)", IDC_LOG_VLXCOLLECT, {{kRestartQuestion, IDNO}}},
    {L"Vorlix autostart back (page 205)", IDC_LOG_VLXCLEAR, {{kRestartQuestion, IDNO}}},
};

bool Settings(const std::filesystem::path& file)
{
    App app;
    HWND sheet = Open(app, QxdiagExePath());
    if (!sheet) return false;
    // Each switch off must leave what its switch on found.
    std::vector<std::wstring> before;
    for (const SettingsStep& step : kSettingsSteps) {
        before.push_back(WatchedValuesText());
        if (!AppendText(file, L"before " + std::wstring(step.title) + L":\r\n" + before.back())) return false;
        if (!BackToMenu(sheet) || !Press(sheet, IDC_MENU_LOGSETTING) || !Press(sheet, step.button)) {
            return Fail("cannot reach the page; page shown: " + DescribePages(sheet));
        }
        if (!ClickButton(CurrentPageWindow(sheet), IDC_APPLY)) return Fail("cannot press \"設定\"");
        for (const auto& [text, answer] : step.answers) {
            if (!Expect(app, text, answer)) return false;
        }
        if (!WaitForPage(sheet, IDD_LOGSETTING_PAGE)) return Fail("not back on page 148: " + DescribePages(sheet));
        const std::wstring after = WatchedValuesText();
        if (!AppendText(file, L"after " + std::wstring(step.title) + L":\r\n" + after)) return false;
        if (before.size() % 2 == 0) {
            const bool same = after == before[before.size() - 2];
            if (!AppendText(file, std::wstring(L"after equals before ") + kSettingsSteps[before.size() - 2].title +
                                      L": " + (same ? L"yes" : L"no") + L"\r\n")) {
                return false;
            }
        }
    }
    if (!Close(app)) return false;
    std::printf("%s\n", file.string().c_str());
    return true;
}

}  // namespace
}  // namespace qx::e2e

int wmain(int argc, wchar_t** argv)
{
    using namespace qx::e2e;
    const std::wstring command = argc == 3 ? argv[1] : L"";
    if (command == L"shots") {
        const std::filesystem::path directory = argv[2];
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        return Shots(directory) ? 0 : 1;
    }
    if (command == L"collect") return Collect(std::filesystem::absolute(argv[2])) ? 0 : 1;
    if (command == L"settings") return Settings(std::filesystem::absolute(argv[2])) ? 0 : 1;
    std::fprintf(stderr, "usage: qxdrive shots DIR | qxdrive collect FOLDER | qxdrive settings FILE\n");
    return 2;
}
