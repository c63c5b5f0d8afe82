#pragma once
// The first page: collection, debug-log settings, version and installed software.
// Its Cancel command keeps the page default, which closes the tool.

#include "pages/page.h"

namespace qx {

class CMenuPage : public CPage {
public:
    CMenuPage() noexcept;

protected:
    bool OnCommand(WORD id, WORD notifyCode) override;

private:
    void OnCollect();
    void OnLogSetting();
    void OnVlxLogSetting();
};

}  // namespace qx
