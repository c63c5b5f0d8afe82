#pragma once
// Starts and stops the Vorlix investigation build.

#include "pages/page.h"

#include <string>

namespace qx {

class CVLXLogExecPage : public CPage {
public:
    CVLXLogExecPage() noexcept;

    BOOL OnPageActivate(int param) override;

protected:
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnStart();
    void OnStop();
    void WriteControls();

    // The debug-log folder, shown in IDC_LOGFOLDER; the investigation build writes there.
    std::wstring folder_;
};

}  // namespace qx
