#include "pages/vlx_log_setting_page.h"

#include "resource.h"
#include "vorlix/vlx_console_log_page.h"

namespace qx {

CVLXLogSettingPage::CVLXLogSettingPage() noexcept : CPage(IDD_VLXLOGSETTING_PAGE) {}

bool CVLXLogSettingPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_VLX_EXEC:
        OnExec();
        return true;
    case IDC_VLX_EDGE:
        OnEdge();
        return true;
    case IDC_VLX_CHROME:
        OnChrome();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CVLXLogSettingPage::OnExec() { ShowPageById(IDD_VLXLOGEXEC_PAGE, 0); }

void CVLXLogSettingPage::OnEdge() { ShowPageById(IDD_VLXCONSOLELOG_PAGE, kBrowserEdge); }

void CVLXLogSettingPage::OnChrome() { ShowPageById(IDD_VLXCONSOLELOG_PAGE, kBrowserChrome); }

void CVLXLogSettingPage::OnCancel() { ShowPageById(IDD_MENU_PAGE, 0); }

}  // namespace qx
