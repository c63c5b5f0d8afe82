#include "pages/log_setting_page.h"

#include "resource.h"

namespace qx {

CLogSettingPage::CLogSettingPage() noexcept : CPage(IDD_LOGSETTING_PAGE) {}

bool CLogSettingPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_LOG_COLLECTSETTING:
        OnCollectSetting();
        return true;
    case IDC_LOG_CLEARSETTING:
        OnClearSetting();
        return true;
    case IDC_LOG_VLXCOLLECT:
        OnVlxCollect();
        return true;
    case IDC_LOG_VLXCLEAR:
        OnVlxClear();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CLogSettingPage::OnCollectSetting() { ShowPageById(IDD_COLLECTSETTING_PAGE, 0); }

void CLogSettingPage::OnClearSetting() { ShowPageById(IDD_CLEARCOLLECTSETTING_PAGE, 0); }

void CLogSettingPage::OnVlxCollect() { ShowPageById(IDD_COLLECTVLXLOG_PAGE, 0); }

void CLogSettingPage::OnVlxClear() { ShowPageById(IDD_CLEARCOLLECTVLXLOG_PAGE, 0); }

void CLogSettingPage::OnCancel() { ShowPageById(IDD_MENU_PAGE, 0); }

}  // namespace qx
