#include "platform/ui.h"

namespace qx {
namespace {

// Marks our dialog windows; DWLP_USER alone cannot tell ours from a message box.
constexpr wchar_t kDialogProperty[] = L"QXDIAG.Dialog";

// Messages whose result a dialog procedure returns directly instead of through
// DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

}  // namespace

Dialog::~Dialog()
{
    if (hwnd_) ::DestroyWindow(hwnd_);
}

HWND Dialog::Create(HWND parent)
{
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                                &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::DoModal(HWND owner)
{
    if (!Create(owner)) return -1;
    return RunModal(owner);
}

INT_PTR Dialog::RunModal(HWND owner)
{
    HWND hwnd = hwnd_;
    if (!hwnd) return -1;
    const bool reenableOwner = owner && ::IsWindowEnabled(owner);
    if (reenableOwner) ::EnableWindow(owner, FALSE);
    ::ShowWindow(hwnd, SW_SHOW);

    modalRunning_ = true;
    modalResult_ = IDCANCEL;
    MSG msg;
    while (modalRunning_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Leave the quit message for the loop further out.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) break;
        ProcessMessage(msg);
    }
    modalRunning_ = false;

    // Enable the owner before the dialog goes, so that activation returns to it.
    if (reenableOwner) ::EnableWindow(owner, TRUE);
    ::DestroyWindow(hwnd);
    return modalResult_;
}

void Dialog::EndModal(INT_PTR result)
{
    modalResult_ = result;
    if (modalRunning_) {
        modalRunning_ = false;
        ::PostMessageW(hwnd_, WM_NULL, 0, 0);  // wakes the loop
    }
}

bool Dialog::PreTranslateMessage(MSG& msg)
{
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    return ::IsDialogMessageW(hwnd_, &msg) != FALSE;
}

bool Dialog::OnCommand(WORD id, WORD)
{
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

INT_PTR Dialog::OnMessage(UINT, WPARAM, LPARAM, bool&) { return 0; }

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    switch (message) {
    case WM_INITDIALOG:
        handled = true;
        return OnInitDialog();
    case WM_COMMAND:
        handled = OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    default:
        return OnMessage(message, wParam, lParam, handled);
    }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        ::SetPropW(hwnd, kDialogProperty, self);
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;

    if (message == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kDialogProperty);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        self->modalRunning_ = false;
        return FALSE;
    }

    bool handled = false;
    const INT_PTR result = self->Dispatch(message, wParam, lParam, handled);
    if (!handled) return FALSE;
    if (message == WM_INITDIALOG || ReturnsResultDirectly(message)) return result;
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

Dialog* DialogFromWindow(HWND hwnd) noexcept
{
    return hwnd ? static_cast<Dialog*>(::GetPropW(hwnd, kDialogProperty)) : nullptr;
}

void ProcessMessage(MSG& msg)
{
    for (HWND hwnd = msg.hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        if (Dialog* dialog = DialogFromWindow(hwnd); dialog && dialog->PreTranslateMessage(msg)) return;
        if (!(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) break;  // top-level reached
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

UiSeams& Seams()
{
    static UiSeams seams;
    return seams;
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    if (Seams().messageBox) return Seams().messageBox(owner, text, caption, type);
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

std::wstring ProgramName()
{
    // The longest path Windows has; a path filling the buffer was cut short.
    std::wstring path(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return {};
    path.resize(length);
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    if (const size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot > 0) name.resize(dot);
    return name;
}

std::wstring LoadResourceString(UINT id)
{
    const wchar_t* text = nullptr;
    // A zero buffer size returns a read-only pointer to the resource itself.
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<size_t>(length));
}

std::wstring FormatResourceString(UINT id, std::initializer_list<std::wstring_view> values)
{
    std::wstring text = LoadResourceString(id);
    std::size_t from = 0;
    for (std::wstring_view value : values) {
        const std::size_t at = text.find(L"%s", from);
        if (at == std::wstring::npos) break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

std::wstring FormatResourceString(UINT id, const std::wstring& value) { return FormatResourceString(id, {value}); }

void DrawIconCentred(HDC dc, const RECT& area, HICON icon)
{
    const int x = area.left + (area.right - area.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = area.top + (area.bottom - area.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon);
}

std::wstring WindowText(HWND hwnd)
{
    const int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

}  // namespace qx
