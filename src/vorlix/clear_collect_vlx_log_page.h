#pragma once
// Points the Vorlix autostart entry back at the normal client.

#include "pages/page.h"

namespace qx {

class CClearCollectVLXLogPage : public CPage {
public:
    CClearCollectVLXLogPage() noexcept;

protected:
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnApply();
};

}  // namespace qx
