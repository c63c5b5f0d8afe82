#pragma once
// The collection page: what to collect, and Save.

#include "pages/page.h"

namespace qx {

class CEventLogPage : public CPage {
public:
    CEventLogPage() noexcept;

protected:
    void OnCancel() override;
};

}  // namespace qx
