#pragma once
// Points the Vorlix autostart entry back at the normal client.

#include "pages/page.h"

namespace qx {

class CClearCollectVLXLogPage : public CPage {
public:
    CClearCollectVLXLogPage() noexcept;

protected:
    void OnCancel() override;
};

}  // namespace qx
