#pragma once
// Starts and stops the Vorlix investigation build.

#include "pages/page.h"

namespace qx {

class CVLXLogExecPage : public CPage {
public:
    CVLXLogExecPage() noexcept;

protected:
    void OnCancel() override;
};

}  // namespace qx
