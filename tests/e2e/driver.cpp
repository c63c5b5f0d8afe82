#include "driver.h"

#include "resource.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <regex>
#include <utility>

namespace qx::e2e {
namespace {

constexpr wchar_t kDialogClass[] = L"#32770";

// The name edit of the Vista-style file dialog, which also takes a typed folder.
constexpr int kPickerNameEdit = 1152;

std::wstring ClassOf(HWND hwnd)
{
    std::array<wchar_t, 64> name{};
    ::GetClassNameW(hwnd, name.data(), static_cast<int>(name.size()));
    return name.data();
}

bool IsDialogWindow(HWND hwnd) { return ClassOf(hwnd) == kDialogClass; }

// The first top-level window, shown or hidden, for which `matches(window, its
// process id)` holds; nullptr when none.
template <class Predicate>
HWND FindTopLevelWindow(Predicate matches)
{
    struct Query {
        Predicate* matches;
        HWND found;
    } query{&matches, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& q = *reinterpret_cast<Query*>(param);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hwnd, &pid);
            if (!(*q.matches)(hwnd, pid)) return TRUE;
            q.found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// The first shown top-level window for which `matches(window, its process id)` holds.
template <class Predicate>
HWND FindShownWindow(Predicate matches)
{
    return FindTopLevelWindow([&](HWND hwnd, DWORD pid) { return ::IsWindowVisible(hwnd) && matches(hwnd, pid); });
}

// The first shown top-level window of process `pid` that `matches`.
template <class Predicate>
HWND FindShownWindow(DWORD pid, Predicate matches)
{
    return FindShownWindow([&](HWND hwnd, DWORD windowPid) { return windowPid == pid && matches(hwnd); });
}

// What tells the pages apart from outside: controls a page has, and one it lacks.
// The sheet's help context id names the page directly, but GetWindowContextHelpId
// returns 0 for another process's window on Wine. No single control is unique to
// 204 or to 205, hence pairs.
struct PageSignature {
    int pageId;
    std::array<int, 2> has;
    int lacks;
};

constexpr PageSignature kSignatures[] = {
    {IDD_MENU_PAGE, {IDC_MENU_COLLECT, 0}, 0},
    {IDD_LOGSETTING_PAGE, {IDC_LOG_COLLECTSETTING, 0}, 0},
    {IDD_EVENTLOG_PAGE, {IDC_SAVE, 0}, 0},
    {IDD_COLLECTSETTING_PAGE, {IDC_PICK_LOGFOLDER, 0}, 0},
    {IDD_CLEARCOLLECTSETTING_PAGE, {IDC_DELETE_LOGFOLDER, 0}, 0},
    {IDD_VLXLOGSETTING_PAGE, {IDC_VLX_EDGE, 0}, 0},
    {IDD_VLXLOGEXEC_PAGE, {IDC_VLX_STOP, 0}, 0},
    {IDD_VLXCONSOLELOG_PAGE, {IDC_DEVTOOLS_ENABLE, 0}, 0},
    {IDD_COLLECTVLXLOG_PAGE, {IDC_TRAY_PICTURE, IDC_APPLY}, 0},
    {IDD_CLEARCOLLECTVLXLOG_PAGE, {IDC_LOGLEVEL_TEXT, IDC_APPLY}, IDC_LOGFOLDER},
};

bool Matches(HWND page, const PageSignature& signature)
{
    for (int id : signature.has) {
        if (id && !::GetDlgItem(page, id)) return false;
    }
    return !signature.lacks || !::GetDlgItem(page, signature.lacks);
}

constexpr NavigationButton kNavigation[] = {
    {IDD_MENU_PAGE, IDC_MENU_COLLECT, IDD_EVENTLOG_PAGE, false},
    {IDD_MENU_PAGE, IDC_MENU_LOGSETTING, IDD_LOGSETTING_PAGE, false},
    {IDD_MENU_PAGE, IDC_MENU_VLXLOGSETTING, IDD_VLXLOGSETTING_PAGE, true},
    {IDD_LOGSETTING_PAGE, IDC_LOG_COLLECTSETTING, IDD_COLLECTSETTING_PAGE, false},
    {IDD_LOGSETTING_PAGE, IDC_LOG_CLEARSETTING, IDD_CLEARCOLLECTSETTING_PAGE, false},
    {IDD_LOGSETTING_PAGE, IDC_LOG_VLXCOLLECT, IDD_COLLECTVLXLOG_PAGE, false},
    {IDD_LOGSETTING_PAGE, IDC_LOG_VLXCLEAR, IDD_CLEARCOLLECTVLXLOG_PAGE, false},
    {IDD_VLXLOGSETTING_PAGE, IDC_VLX_EXEC, IDD_VLXLOGEXEC_PAGE, false},
    {IDD_VLXLOGSETTING_PAGE, IDC_VLX_EDGE, IDD_VLXCONSOLELOG_PAGE, false},
    {IDD_VLXLOGSETTING_PAGE, IDC_VLX_CHROME, IDD_VLXCONSOLELOG_PAGE, false},
};

}  // namespace

std::filesystem::path QxdiagExePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path().parent_path().parent_path() / L"QXDIAG.exe";
}

std::filesystem::path QxdiagXpExePath() { return QxdiagExePath().replace_filename(L"qxdiag_xp.exe"); }

std::filesystem::path RestartRecordingExePath()
{
    return QxdiagExePath().replace_filename(L"qxdiag_restart_recorded.exe");
}

std::filesystem::path CtrlPressingQxcollectExePath()
{
    return QxdiagExePath().replace_filename(L"qxcollect_ctrl_pressed.exe");
}

// --- App ---------------------------------------------------------------------

App::~App()
{
    if (Running()) Kill();
}

bool App::Start(const std::filesystem::path& exe)
{
    if (process_) {
        ::SetLastError(ERROR_BUSY);
        return false;
    }
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return false;
    }
    const UniqueHandleKernel thread(info.hThread);
    process_.reset(info.hProcess);
    pid_ = info.dwProcessId;
    main_ = nullptr;
    return true;
}

HWND App::WaitForMainWindow(Duration timeout)
{
    WaitUntil([&] { return (main_ = FindDialog(pid_, kCaption, nullptr)) != nullptr || !Running(); }, timeout);
    return main_;
}

bool App::Running() const
{
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> App::WaitForExit(Duration timeout)
{
    if (!process_ || ::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
}

void App::Kill()
{
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), 5000);
}

HWND FindDialog(DWORD pid, const wchar_t* caption, HWND owner)
{
    return FindShownWindow(pid, [&](HWND hwnd) {
        return IsDialogWindow(hwnd) && ::GetWindow(hwnd, GW_OWNER) == owner && TextOf(hwnd) == caption;
    });
}

HWND FindCreatedDialog(DWORD pid, const wchar_t* caption, HWND owner)
{
    return FindTopLevelWindow([&](HWND hwnd, DWORD windowPid) {
        return windowPid == pid && IsDialogWindow(hwnd) && ::GetWindow(hwnd, GW_OWNER) == owner &&
               TextOf(hwnd) == caption;
    });
}

HWND WaitForDialog(DWORD pid, const wchar_t* caption, HWND owner, Duration timeout)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(pid, caption, owner)) != nullptr; }, timeout);
    return found;
}

int ShownWindowCount(DWORD pid)
{
    int count = 0;
    FindShownWindow(pid, [&](HWND) {
        ++count;
        return false;
    });
    return count;
}

HWND FindOtherProcessWindow(DWORD pid, const wchar_t* title)
{
    return FindShownWindow([&](HWND hwnd, DWORD windowPid) { return windowPid != pid && TextOf(hwnd) == title; });
}

bool WaitUntilGone(HWND window, Duration timeout)
{
    return WaitUntil([&] { return !::IsWindow(window); }, timeout);
}

// GetWindowTextW sends nothing to another process's window: a busy tool cannot
// block the driver here.
std::wstring TextOf(HWND window)
{
    std::array<wchar_t, 1024> text{};
    ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// --- Message boxes and the folder picker -----------------------------------

std::optional<MessageBoxView> FindMessageBox(DWORD pid, HWND owner)
{
    std::optional<MessageBoxView> found;
    FindShownWindow(pid, [&](HWND hwnd) {
        if (!IsDialogWindow(hwnd) || ::GetWindow(hwnd, GW_OWNER) != owner) return false;
        MessageBoxView box{hwnd, TextOf(hwnd), {}, {}};
        bool hasText = false;
        for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            // 0xFFFF exactly: the unnamed statics of the tool's own dialogs have id -1.
            if (::GetDlgCtrlID(child) == 0xFFFF && ClassOf(child) == L"Static") {
                hasText = true;
                box.text = TextOf(child);
            } else if (::IsWindowVisible(child) && ClassOf(child) == L"Button") {
                box.buttons.push_back(::GetDlgCtrlID(child));
            }
        }
        if (hasText) found = std::move(box);
        return hasText;
    });
    return found;
}

std::optional<MessageBoxView> WaitForMessageBox(DWORD pid, HWND owner, Duration timeout)
{
    std::optional<MessageBoxView> found;
    WaitUntil([&] { return (found = FindMessageBox(pid, owner)).has_value(); }, timeout);
    return found;
}

bool AnswerMessageBox(HWND box, int button, Duration timeout)
{
    return ClickButton(box, button) && WaitUntilGone(box, timeout);
}

bool AnswerArchiveQuestion(DWORD pid, int button, Duration timeout)
{
    const std::optional<MessageBoxView> box = WaitForMessageBox(pid, nullptr, timeout);
    return box && box->text == kArchiveQuestion && AnswerMessageBox(box->window, button, timeout);
}

HWND WaitForFolderPicker(DWORD pid, HWND owner, Duration timeout)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindShownWindow(pid, [&](HWND hwnd) {
                return IsDialogWindow(hwnd) && ::GetWindow(hwnd, GW_OWNER) == owner &&
                       ::GetDlgItem(hwnd, kPickerNameEdit) != nullptr;
            });
            return found != nullptr;
        },
        timeout);
    return found;
}

bool TypeFolder(HWND picker, const std::wstring& folder)
{
    HWND edit = ::GetDlgItem(picker, kPickerNameEdit);
    if (!edit || !::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()))) return false;
    // An edit keeps its text to itself: only WM_GETTEXT reads it back.
    std::array<wchar_t, 1024> typed{};
    ::SendMessageW(edit, WM_GETTEXT, typed.size(), reinterpret_cast<LPARAM>(typed.data()));
    return folder == typed.data();
}

bool ChooseFolder(HWND picker, const std::wstring& folder, Duration timeout)
{
    return TypeFolder(picker, folder) && ClickButton(picker, IDOK) && WaitUntilGone(picker, timeout);
}

bool CancelFolderPicker(HWND picker, Duration timeout)
{
    return ClickButton(picker, IDCANCEL) && WaitUntilGone(picker, timeout);
}

// --- Collections -------------------------------------------------------------

bool StartCollection(const App& app, const std::wstring& folder, Duration timeout)
{
    HWND sheet = app.MainWindow();
    if (CurrentPageId(sheet) != IDD_EVENTLOG_PAGE || !ClickButton(CurrentPageWindow(sheet), IDC_SAVE)) return false;
    HWND picker = WaitForFolderPicker(app.ProcessId(), sheet, timeout);
    return picker && ChooseFolder(picker, folder, timeout);
}

std::span<const int> ItemCheckBoxes()
{
    static constexpr int kItems[] = {IDC_ITEM_EVENTLOG, IDC_ITEM_DEBUGLOG, IDC_ITEM_CRASHDUMP, IDC_ITEM_REGISTRY,
                                     IDC_ITEM_VORLIX};
    return kItems;
}

bool SetCheckBox(HWND dialog, int id, bool checked, Duration timeout)
{
    const LRESULT wanted = checked ? BST_CHECKED : BST_UNCHECKED;
    auto state = [&] { return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0); };
    if (state() == wanted) return true;
    return ClickButton(dialog, id) && WaitUntil([&] { return state() == wanted; }, timeout);
}

// --- Run logs and output folders -------------------------------------------

std::wstring DecodeCodePage932(const std::string& bytes)
{
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length);
    return text;
}

std::vector<RunLogEntry> RunLogEntries(const std::wstring& log)
{
    static const std::wregex stamped(LR"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d: (.*))");
    std::vector<RunLogEntry> entries;
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

std::wstring EnvironmentVariable(const wchar_t* name)
{
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

// --- Pages -------------------------------------------------------------------

HWND CurrentPageWindow(HWND sheet)
{
    HWND shown = nullptr;
    for (HWND child = ::GetWindow(sheet, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child) || !IsDialogWindow(child)) continue;
        if (shown) return nullptr;
        shown = child;
    }
    return shown;
}

int PageIdOf(HWND page)
{
    int found = 0;
    for (const PageSignature& signature : kSignatures) {
        if (!Matches(page, signature)) continue;
        if (found) return 0;
        found = signature.pageId;
    }
    return found;
}

int CurrentPageId(HWND sheet)
{
    HWND page = CurrentPageWindow(sheet);
    return page ? PageIdOf(page) : 0;
}

bool WaitForPage(HWND sheet, int pageId, Duration timeout)
{
    return WaitUntil(
        [&] {
            HWND page = CurrentPageWindow(sheet);
            if (!page || PageIdOf(page) != pageId) return false;
            HWND focus = FocusOf(sheet);
            return focus == page || ::IsChild(page, focus);
        },
        timeout);
}

std::string DescribePages(HWND sheet)
{
    std::string visible;
    for (HWND child = ::GetWindow(sheet, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::IsWindowVisible(child) && IsDialogWindow(child)) visible += ' ' + std::to_string(PageIdOf(child));
    }
    if (const int id = CurrentPageId(sheet)) return std::to_string(id);
    return "none (visible:" + (visible.empty() ? std::string(" nothing") : visible) + ")";
}

std::span<const NavigationButton> NavigationTable() { return kNavigation; }

int ParentPage(int pageId)
{
    switch (pageId) {
    case IDD_LOGSETTING_PAGE:
    case IDD_EVENTLOG_PAGE:
    case IDD_VLXLOGSETTING_PAGE:
        return IDD_MENU_PAGE;
    case IDD_COLLECTSETTING_PAGE:
    case IDD_CLEARCOLLECTSETTING_PAGE:
    case IDD_COLLECTVLXLOG_PAGE:
    case IDD_CLEARCOLLECTVLXLOG_PAGE:
        return IDD_LOGSETTING_PAGE;
    case IDD_VLXLOGEXEC_PAGE:
    case IDD_VLXCONSOLELOG_PAGE:
        return IDD_VLXLOGSETTING_PAGE;
    default:
        return 0;
    }
}

bool Navigate(HWND sheet, const NavigationButton& row, Duration timeout)
{
    HWND page = CurrentPageWindow(sheet);
    if (!page || PageIdOf(page) != row.from) return false;
    const bool pressed = row.hidden ? PostCommand(page, row.button) : ClickButton(page, row.button);
    return pressed && WaitForPage(sheet, row.shows, timeout);
}

bool GoFromMenu(HWND sheet, int pageId, Duration timeout)
{
    if (pageId == IDD_MENU_PAGE) return CurrentPageId(sheet) == IDD_MENU_PAGE;
    const auto table = NavigationTable();
    const auto row = std::find_if(table.begin(), table.end(), [&](const auto& r) { return r.shows == pageId; });
    return row != table.end() && GoFromMenu(sheet, row->from, timeout) && Navigate(sheet, *row, timeout);
}

bool BackToMenu(HWND sheet, Duration timeout)
{
    for (int steps = 0; steps < 4; ++steps) {
        const int id = CurrentPageId(sheet);
        if (id == IDD_MENU_PAGE) return true;
        if (!id || !ClickButton(CurrentPageWindow(sheet), IDCANCEL) || !WaitForPage(sheet, ParentPage(id), timeout)) {
            return false;
        }
    }
    return false;
}

// --- Input -------------------------------------------------------------------

bool ClickButton(HWND dialog, int id)
{
    HWND button = ::GetDlgItem(dialog, id);
    if (!button || !::IsWindowVisible(button) || !::IsWindowEnabled(button)) return false;
    return ::PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool PostCommand(HWND dialog, int id)
{
    return ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                          reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id))) != FALSE;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    return thread && ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool PressKey(HWND window, WORD virtualKey)
{
    HWND focus = FocusOf(window);
    if (!focus) return false;
    const LPARAM scanCode = static_cast<LPARAM>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    constexpr LPARAM kRepeatOnce = 1;
    constexpr LPARAM kReleased = (LPARAM{1} << 30) | (LPARAM{1} << 31);
    return ::PostMessageW(focus, WM_KEYDOWN, virtualKey, scanCode | kRepeatOnce) &&
           ::PostMessageW(focus, WM_KEYUP, virtualKey, scanCode | kRepeatOnce | kReleased);
}

bool PostSysCommand(HWND window, WPARAM command)
{
    return ::PostMessageW(window, WM_SYSCOMMAND, command, 0) != FALSE;
}

// --- Screen capture ----------------------------------------------------------

std::optional<Image> CaptureWindow(HWND window)
{
    RECT rect{};
    if (!::GetWindowRect(window, &rect)) return std::nullopt;
    Image image;
    image.width = rect.right - rect.left;
    image.height = rect.bottom - rect.top;
    if (image.width <= 0 || image.height <= 0) return std::nullopt;

    HDC screen = ::GetDC(nullptr);
    if (!screen) return std::nullopt;
    ScopeExit releaseScreen([&] { ::ReleaseDC(nullptr, screen); });
    HDC memory = ::CreateCompatibleDC(screen);
    if (!memory) return std::nullopt;
    ScopeExit deleteMemory([&] { ::DeleteDC(memory); });

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = image.height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return std::nullopt;
    ScopeExit deleteBitmap([&] { ::DeleteObject(bitmap); });

    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    const BOOL copied = ::BitBlt(memory, 0, 0, image.width, image.height, screen, rect.left, rect.top,
                                 SRCCOPY | CAPTUREBLT);
    ::GdiFlush();
    ::SelectObject(memory, previous);
    if (!copied) return std::nullopt;

    const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
    const auto* first = static_cast<const std::uint8_t*>(bits);
    image.pixels.assign(first, first + stride * static_cast<size_t>(image.height));
    return image;
}

std::optional<Image> CaptureSettled(HWND window, Duration timeout)
{
    std::optional<Image> previous = CaptureWindow(window);
    std::optional<Image> current;
    const bool settled = WaitUntil(
        [&] {
            ::Sleep(100);
            current = CaptureWindow(window);
            if (current && previous && *current == *previous) return true;
            previous = std::move(current);
            return false;
        },
        timeout);
    return settled ? current : std::nullopt;
}

bool SaveBmp(const Image& image, const std::filesystem::path& file)
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = image.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(image.pixels.size());

    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;

    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace qx::e2e
