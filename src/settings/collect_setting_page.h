#pragma once
// Switches the product's debug logging on.

#include "pages/page.h"

namespace qx {

class CCollectSettingPage : public CPage {
public:
    CCollectSettingPage() noexcept;

protected:
    void OnCancel() override;
};

}  // namespace qx
