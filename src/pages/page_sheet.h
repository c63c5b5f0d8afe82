#pragma once
// The window that shows one page at a time. The sheet does not own the pages;
// the derived main window holds them as members and registers them in order.

#include "platform/ui.h"

#include <vector>

namespace qx {

class CPage;

class CPageSheet : public Dialog {
public:
    explicit CPageSheet(UINT templateId) noexcept : Dialog(templateId) {}

    // Makes page `index` the current one; FALSE when the page left refused or
    // the index is out of range.
    BOOL ShowPage(int index, int param);

    virtual BOOL NotifyPageActivated(int pageId);
    virtual BOOL NotifyPageLeaving(int pageId);

    int PageCount() const noexcept { return static_cast<int>(pages_.size()); }
    CPage* Page(int index) const noexcept;
    int CurrentIndex() const noexcept { return currentIndex_; }
    // Index of the first page with this dialog id, or -1.
    int IndexOfPage(int pageId) const noexcept;

protected:
    void AddPage(CPage& page);
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void CreatePagesAndFit();

    std::vector<CPage*> pages_;
    int currentIndex_ = 0;
};

}  // namespace qx
