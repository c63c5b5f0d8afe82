#include "collect/event_log_page.h"

#include "resource.h"

namespace qx {

CEventLogPage::CEventLogPage() noexcept : CPage(IDD_EVENTLOG_PAGE) {}

void CEventLogPage::OnCancel() { ShowPageById(IDD_MENU_PAGE, 0); }

}  // namespace qx
