#include "vorlix/clear_collect_vlx_log_page.h"

#include "resource.h"

namespace qx {

CClearCollectVLXLogPage::CClearCollectVLXLogPage() noexcept : CPage(IDD_CLEARCOLLECTVLXLOG_PAGE) {}

void CClearCollectVLXLogPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

}  // namespace qx
