#pragma once
// Tells how to save the browser extension's console log; one page serves Edge and Chrome.

#include "pages/page.h"

namespace qx {

// The browser variant, given as the navigation parameter.
constexpr int kBrowserEdge = 0;
constexpr int kBrowserChrome = 1;

class CVLXConsoleLogPage : public CPage {
public:
    CVLXConsoleLogPage() noexcept;

    BOOL OnPageActivate(int param) override;
    int Browser() const noexcept { return browser_; }

protected:
    void OnCancel() override;

private:
    int browser_ = kBrowserEdge;
};

}  // namespace qx
