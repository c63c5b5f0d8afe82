#include "vorlix/vlx_log_exec_page.h"

#include "resource.h"

namespace qx {

CVLXLogExecPage::CVLXLogExecPage() noexcept : CPage(IDD_VLXLOGEXEC_PAGE) {}

void CVLXLogExecPage::OnCancel() { ShowPageById(IDD_VLXLOGSETTING_PAGE, 0); }

}  // namespace qx
