#pragma once
// Switches the product's debug logging off.

#include "pages/page.h"

namespace qx {

class CClearCollectSettingPage : public CPage {
public:
    CClearCollectSettingPage() noexcept;

protected:
    void OnCancel() override;
};

}  // namespace qx
