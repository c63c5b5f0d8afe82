#include "vorlix/vlx_console_log_page.h"

#include "resource.h"

namespace qx {

CVLXConsoleLogPage::CVLXConsoleLogPage() noexcept : CPage(IDD_VLXCONSOLELOG_PAGE) {}

void CVLXConsoleLogPage::OnCancel() { ShowPageById(IDD_VLXLOGSETTING_PAGE, 0); }

BOOL CVLXConsoleLogPage::OnPageActivate(int param)
{
    browser_ = param;
    return CPage::OnPageActivate(param);
}

}  // namespace qx
