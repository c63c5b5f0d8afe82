#pragma once
// Switches the product's debug logging off: deletes the values that the setting
// page writes and, on a restart, ends the product's programs and can delete
// the debug-log folder first.

#include "pages/page.h"
#include "settings/collect_setting_page.h"

#include <array>

namespace qx {

// Ended, in this order, before the debug-log folder is deleted.
inline constexpr std::array<const wchar_t*, 6> ProductProcessNames{
    L"QXAgent.exe",     L"QXArbiter.exe",       L"QXLogTransfer.exe",
    L"QXTinyServer.exe", L"QXRemoteGateway.exe", L"Vorlix.exe",
};

class CClearCollectSettingPage : public CPage {
public:
    CClearCollectSettingPage() noexcept;

    BOOL OnPageActivate(int param) override;

protected:
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnApply();
    // Deletes the folder shown; reports a refusal or a failure and returns false.
    bool DeleteLogFolder();

    // Check box IDC_DELETE_LOGFOLDER is no field: Apply asks the control, and it keeps its
    // state across visits.
    DebugLogSettingTexts shown_;
};

}  // namespace qx
