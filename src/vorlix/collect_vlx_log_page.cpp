#include "vorlix/collect_vlx_log_page.h"

#include "pages/standard_message.h"
#include "platform/files.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "vorlix/vorlix_client.h"

namespace qx {

CCollectVLXLogPage::CCollectVLXLogPage() noexcept : CPage(IDD_COLLECTVLXLOG_PAGE) {}

BOOL CCollectVLXLogPage::OnPageActivate(int param)
{
    folder_ = DebugLogFolder();
    WriteControls();
    return CPage::OnPageActivate(param);
}

bool CCollectVLXLogPage::OnCommand(WORD id, WORD notifyCode)
{
    if (id == IDC_APPLY) {
        OnApply();
        return true;
    }
    return CPage::OnCommand(id, notifyCode);
}

void CCollectVLXLogPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

void CCollectVLXLogPage::WriteControls() { ::SetDlgItemTextW(Handle(), IDC_LOGFOLDER, folder_.c_str()); }

void CCollectVLXLogPage::ReadControls() { folder_ = WindowText(::GetDlgItem(Handle(), IDC_LOGFOLDER)); }

void CCollectVLXLogPage::OnApply()
{
    ReadControls();
    if (!PointAutostartAt(Handle(), PageId, kVorlixLogExe, IDS_VLXLOG_NOT_INSTALLED)) return;
    if (!CreateFolderTree(folder_)) {
        // The autostart stays switched; without its log folder no restart is offered.
        ShowOutputWriteFailed();
        return;
    }
    OfferRestart(MainWindow());
    ShowPageById(IDD_LOGSETTING_PAGE, 0);
}

}  // namespace qx
