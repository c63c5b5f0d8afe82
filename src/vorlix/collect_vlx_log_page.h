#pragma once
// Points the Vorlix autostart entry at the logging build.

#include "pages/page.h"

namespace qx {

class CCollectVLXLogPage : public CPage {
public:
    CCollectVLXLogPage() noexcept;

protected:
    void OnCancel() override;
};

}  // namespace qx
