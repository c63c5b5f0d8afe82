#include "vorlix/collect_vlx_log_page.h"

#include "resource.h"

namespace qx {

CCollectVLXLogPage::CCollectVLXLogPage() noexcept : CPage(IDD_COLLECTVLXLOG_PAGE) {}

void CCollectVLXLogPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

}  // namespace qx
