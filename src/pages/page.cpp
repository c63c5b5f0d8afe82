#include "pages/page.h"

#include "pages/page_sheet.h"

namespace qx {

BOOL CPage::OnInitDialog()
{
    // A page is a plain child area of the sheet: no caption, no system menu, and
    // shown only by the sheet.
    constexpr LONG_PTR kRemovedStyles = WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    HWND hwnd = Handle();
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, ::GetWindowLongPtrW(hwnd, GWL_STYLE) & ~kRemovedStyles);
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return TRUE;
}

BOOL CPage::OnPageActivate(int) { return sheet_ && sheet_->NotifyPageActivated(PageId) != FALSE; }

BOOL CPage::CanLeavePage() { return sheet_ ? sheet_->NotifyPageLeaving(PageId) : TRUE; }

BOOL CPage::ShowPageById(int pageId, int param)
{
    if (!sheet_) return FALSE;
    const int index = sheet_->IndexOfPage(pageId);
    if (index < 0) {
        ::OutputDebugStringW(L"QXDIAG: ShowPageById with a page id that no page has\n");
        return FALSE;
    }
    return sheet_->ShowPage(index, param);
}

// Enter and Esc reach the sheet as key presses, where its own dialog handling
// turns them into IDOK and IDCANCEL.
void CPage::OnOK()
{
    if (sheet_) ::PostMessageW(sheet_->Handle(), WM_KEYDOWN, VK_RETURN, 0);
}

void CPage::OnCancel()
{
    if (sheet_) ::PostMessageW(sheet_->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
}

bool CPage::PreTranslateMessage(MSG& msg)
{
    if (msg.message == WM_KEYDOWN) {
        if (msg.wParam == VK_RETURN) {
            // A focused push button is the default one: Enter presses it.
            if (::SendMessageW(msg.hwnd, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
                ::PostMessageW(Handle(), WM_COMMAND, static_cast<WPARAM>(::GetDlgCtrlID(msg.hwnd)), 0);
                return true;
            }
        } else if (msg.wParam == VK_ESCAPE) {
            ::PostMessageW(Handle(), WM_COMMAND, IDCANCEL, 0);
            return true;
        }
    }
    return Dialog::PreTranslateMessage(msg);
}

}  // namespace qx
