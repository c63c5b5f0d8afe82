#pragma once
// The first page: collection, debug-log settings, version and installed software.
// Its Cancel command keeps the page default, which closes the tool.

#include "pages/page.h"

#include <string>

namespace qx {

class CMenuPage : public CPage {
public:
    CMenuPage() noexcept;

    // Disables the settings buttons when the product's server part is installed.
    BOOL OnPageActivate(int param) override;
    // Ctrl+A selects all of the focused window's text, before the page's own keys.
    bool PreTranslateMessage(MSG& msg) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode) override;

private:
    void OnCollect();
    void OnLogSetting();
    void OnVlxLogSetting();
};

// "Version: a.b.c.d" from the file version of the file at `path`; empty when it
// has no version resource.
std::wstring FileVersionText(const std::wstring& path);

}  // namespace qx
