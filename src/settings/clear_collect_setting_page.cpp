#include "settings/clear_collect_setting_page.h"

#include "resource.h"

namespace qx {

CClearCollectSettingPage::CClearCollectSettingPage() noexcept : CPage(IDD_CLEARCOLLECTSETTING_PAGE) {}

void CClearCollectSettingPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

}  // namespace qx
