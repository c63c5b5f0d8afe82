#include "app/main_dlg.h"

#include "app/about_dlg.h"
#include "resource.h"

namespace qx {

CMainDlg::CMainDlg()
    : CPageSheet(IDD_MAIN_DLG), icon_(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN)))
{
    // Registration order is the page index; index 0 comes up first.
    AddPage(menuPage_);
    AddPage(logSettingPage_);
    AddPage(eventLogPage_);
    AddPage(collectSettingPage_);
    AddPage(clearCollectSettingPage_);
    AddPage(vlxLogSettingPage_);
    AddPage(vlxLogExecPage_);
    AddPage(consoleLogPage_);
    AddPage(collectVlxLogPage_);
    AddPage(clearCollectVlxLogPage_);
}

BOOL CMainDlg::OnInitDialog()
{
    CPageSheet::OnInitDialog();
    AddAboutToSystemMenu();
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    return TRUE;
}

void CMainDlg::AddAboutToSystemMenu()
{
    HMENU systemMenu = ::GetSystemMenu(Handle(), FALSE);
    if (!systemMenu) return;
    const std::wstring text = LoadResourceString(IDS_ABOUTBOX);
    if (text.empty()) return;
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(systemMenu, MF_STRING, kAboutCommand, text.c_str());
}

INT_PTR CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    switch (message) {
    case WM_SYSCOMMAND:
        OnSysCommand(wParam, handled);
        return 0;
    case WM_PAINT:
        if (::IsIconic(Handle())) {
            PaintMinimised();
            handled = true;
        }
        return 0;
    case WM_QUERYDRAGICON:
        handled = true;
        return reinterpret_cast<INT_PTR>(icon_);
    default:
        return CPageSheet::OnMessage(message, wParam, lParam, handled);
    }
}

void CMainDlg::OnSysCommand(WPARAM command, bool& handled)
{
    if ((command & 0xFFF0) != kAboutCommand) return;
    CAboutDlg about;
    about.DoModal(Handle());
    handled = true;
}

void CMainDlg::PaintMinimised()
{
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    ::SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(Handle(), &client);
    DrawIconCentred(dc, client, icon_);
    ::EndPaint(Handle(), &paint);
}

}  // namespace qx
