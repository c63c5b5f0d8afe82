#include "pages/menu_page.h"

#include "resource.h"

namespace qx {

CMenuPage::CMenuPage() noexcept : CPage(IDD_MENU_PAGE) {}

bool CMenuPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_MENU_COLLECT:
        OnCollect();
        return true;
    case IDC_MENU_LOGSETTING:
        OnLogSetting();
        return true;
    case IDC_MENU_VLXLOGSETTING:
        OnVlxLogSetting();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CMenuPage::OnCollect() { ShowPageById(IDD_EVENTLOG_PAGE, 0); }

void CMenuPage::OnLogSetting() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

void CMenuPage::OnVlxLogSetting() { ShowPageById(IDD_VLXLOGSETTING_PAGE, 0); }

}  // namespace qx
