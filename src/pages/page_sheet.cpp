#include "pages/page_sheet.h"

#include "pages/page.h"

#include <algorithm>

namespace qx {

void CPageSheet::AddPage(CPage& page)
{
    page.AttachToSheet(this);
    pages_.push_back(&page);
}

CPage* CPageSheet::Page(int index) const noexcept
{
    return index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

int CPageSheet::IndexOfPage(int pageId) const noexcept
{
    const auto found = std::find_if(pages_.begin(), pages_.end(), [pageId](const CPage* page) {
        return page->PageId == pageId;
    });
    return found == pages_.end() ? -1 : static_cast<int>(found - pages_.begin());
}

BOOL CPageSheet::NotifyPageActivated(int) { return TRUE; }

BOOL CPageSheet::NotifyPageLeaving(int) { return TRUE; }

BOOL CPageSheet::OnInitDialog()
{
    CreatePagesAndFit();
    ShowPage(currentIndex_, 0);
    return TRUE;
}

void CPageSheet::CreatePagesAndFit()
{
    HWND sheet = Handle();
    RECT client{};
    ::GetClientRect(sheet, &client);

    RECT bounds{};
    bool first = true;
    for (CPage* page : pages_) {
        page->AttachToSheet(this);
        HWND pageWindow = page->Create(sheet);
        if (!pageWindow) continue;
        ::SetWindowPos(pageWindow, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        RECT rect{};
        ::GetWindowRect(pageWindow, &rect);
        ::MapWindowPoints(HWND_DESKTOP, sheet, reinterpret_cast<POINT*>(&rect), 2);
        if (first) {
            bounds = rect;
            first = false;
        } else {
            bounds.left = std::min(bounds.left, rect.left);
            bounds.top = std::min(bounds.top, rect.top);
            bounds.right = std::max(bounds.right, rect.right);
            bounds.bottom = std::max(bounds.bottom, rect.bottom);
        }
    }

    RECT window{};
    ::GetWindowRect(sheet, &window);
    const int width = (window.right - window.left) + ((bounds.right - bounds.left) - (client.right - client.left));
    const int height = (window.bottom - window.top) + ((bounds.bottom - bounds.top) - (client.bottom - client.top));
    ::SetWindowPos(sheet, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

BOOL CPageSheet::ShowPage(int index, int param)
{
    if (!Handle()) {
        currentIndex_ = index;
        return TRUE;
    }
    CPage* oldPage = Page(currentIndex_);
    CPage* newPage = Page(index);
    if (!oldPage || !newPage) {
        ::OutputDebugStringW(L"QXDIAG: ShowPage with a page index out of range\n");
        return FALSE;
    }
    if (oldPage != newPage && !oldPage->CanLeavePage()) return FALSE;

    HWND shown = newPage->Handle();
    ::SetWindowPos(shown, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    currentIndex_ = index;
    ::EnableWindow(shown, TRUE);
    if (HWND firstTabStop = ::GetNextDlgTabItem(shown, nullptr, FALSE)) {
        ::PostMessageW(shown, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(firstTabStop), TRUE);
    }
    newPage->OnPageActivate(param);
    ::ShowWindow(shown, SW_SHOW);
    ::InvalidateRect(shown, nullptr, TRUE);
    ::UpdateWindow(shown);
    ::SetWindowContextHelpId(Handle(), static_cast<DWORD>(newPage->PageId));
    if (oldPage != newPage) {
        ::ShowWindow(oldPage->Handle(), SW_HIDE);
        ::EnableWindow(oldPage->Handle(), FALSE);
    }
    return TRUE;
}

INT_PTR CPageSheet::OnMessage(UINT message, WPARAM, LPARAM, bool& handled)
{
    if (message == WM_DESTROY) {
        for (CPage* page : pages_) {
            if (page->Handle()) ::DestroyWindow(page->Handle());
        }
        handled = false;  // the default handling follows
    }
    return 0;
}

}  // namespace qx
