#pragma once
// Menu of the Vorlix investigation pages.

#include "pages/page.h"

namespace qx {

class CVLXLogSettingPage : public CPage {
public:
    CVLXLogSettingPage() noexcept;

protected:
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnExec();
    void OnEdge();
    void OnChrome();
};

}  // namespace qx
