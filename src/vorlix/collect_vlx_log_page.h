#pragma once
// Points the Vorlix autostart entry at the logging build.

#include "pages/page.h"

#include <string>

namespace qx {

class CCollectVLXLogPage : public CPage {
public:
    CCollectVLXLogPage() noexcept;

    BOOL OnPageActivate(int param) override;

protected:
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnApply();
    void WriteControls();
    void ReadControls();

    // The debug-log folder, shown in IDC_LOGFOLDER; the logging build writes there.
    std::wstring folder_;
};

}  // namespace qx
