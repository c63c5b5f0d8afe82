#pragma once
// Tells how to save the browser extension's console log; one page serves Edge
// and Chrome, and switches that browser's developer-tools policy on and back.

#include "pages/page.h"

#include <array>
#include <string>

namespace qx {

// The browser variant, given as the navigation parameter.
constexpr int kBrowserEdge = 0;
constexpr int kBrowserChrome = 1;

class CVLXConsoleLogPage : public CPage {
public:
    CVLXConsoleLogPage() noexcept;

    BOOL OnPageActivate(int param) override;
    bool BrowserIsChrome() const noexcept { return browserIsChrome_; }
    int Browser() const noexcept { return browserIsChrome_ ? kBrowserChrome : kBrowserEdge; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnEnableDeveloperTools();
    void OnRestoreDeveloperTools();
    void WriteStepTexts();

    bool browserIsChrome_ = false;
    // The template's (Edge) texts of steps 1 to 3, which every showing starts from.
    std::array<std::wstring, 3> templateSteps_;
};

}  // namespace qx
