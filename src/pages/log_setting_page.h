#pragma once
// Menu of the debug-log setting pages.

#include "pages/page.h"

namespace qx {

class CLogSettingPage : public CPage {
public:
    CLogSettingPage() noexcept;

protected:
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnCollectSetting();
    void OnClearSetting();
    void OnVlxCollect();
    void OnVlxClear();
};

}  // namespace qx
