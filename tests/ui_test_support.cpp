#include "ui_test_support.h"

namespace qx::test {

void PumpMessages()
{
    // Several rounds: handling a message often posts the next one.
    for (int round = 0; round < 5; ++round) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ProcessMessage(msg);
    }
}

void PressKey(HWND target, WPARAM key)
{
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    PumpMessages();
}

HWND FocusOrFirstTabStop(HWND page)
{
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(page, focus)) return focus;
    return ::GetNextDlgTabItem(page, nullptr, FALSE);
}

namespace {

Dialog* g_timedDialog = nullptr;

void CALLBACK EndTimedDialog(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    if (g_timedDialog) g_timedDialog->EndModal(-2);
}

struct Watch {
    UINT templateId;
    const std::function<void(HWND)>* onShown;
    int seen;
};
Watch* g_watch = nullptr;

BOOL CALLBACK CheckWindow(HWND hwnd, LPARAM)
{
    Dialog* dialog = DialogFromWindow(hwnd);
    if (dialog && dialog->TemplateId() == g_watch->templateId && ::IsWindowVisible(hwnd)) {
        ++g_watch->seen;
        (*g_watch->onShown)(hwnd);
        return FALSE;
    }
    return TRUE;
}

void CALLBACK PollForDialog(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_watch && g_watch->seen == 0) ::EnumThreadWindows(::GetCurrentThreadId(), CheckWindow, 0);
}

}  // namespace

INT_PTR RunModalWithTimeout(Dialog& dialog, UINT timeoutMs)
{
    g_timedDialog = &dialog;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, timeoutMs, EndTimedDialog);
    const INT_PTR result = dialog.RunModal(nullptr);
    ::KillTimer(nullptr, timer);
    g_timedDialog = nullptr;
    return result;
}

int WhileRunning(UINT templateId, const std::function<void()>& action, const std::function<void(HWND)>& onShown)
{
    Watch watch{templateId, &onShown, 0};
    g_watch = &watch;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, PollForDialog);
    action();
    ::KillTimer(nullptr, timer);
    g_watch = nullptr;
    return watch.seen;
}

}  // namespace qx::test
