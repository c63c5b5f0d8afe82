#include "settings/collect_setting_page.h"

#include "resource.h"

namespace qx {

CCollectSettingPage::CCollectSettingPage() noexcept : CPage(IDD_COLLECTSETTING_PAGE) {}

void CCollectSettingPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

}  // namespace qx
