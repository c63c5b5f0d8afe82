#pragma once
// The base of every page: a child dialog shown inside the page sheet.

#include "platform/ui.h"

namespace qx {

class CPageSheet;

class CPage : public Dialog {
public:
    explicit CPage(int pageId) noexcept : Dialog(static_cast<UINT>(pageId)), PageId(pageId) {}

    // Called each time the page comes forward; `param` comes from the navigation call.
    virtual BOOL OnPageActivate(int param);
    virtual BOOL CanLeavePage();

    // Brings the first page with dialog id `pageId` forward.
    BOOL ShowPageById(int pageId, int param);

    bool PreTranslateMessage(MSG& msg) override;

    // The main window the page is shown in: the owner of the page's dialogs and boxes.
    HWND MainWindow() const noexcept { return ::GetAncestor(Handle(), GA_ROOT); }

    void AttachToSheet(CPageSheet* sheet) noexcept { sheet_ = sheet; }
    CPageSheet* Sheet() const noexcept { return sheet_; }

    const int PageId;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    CPageSheet* sheet_ = nullptr;
};

}  // namespace qx
