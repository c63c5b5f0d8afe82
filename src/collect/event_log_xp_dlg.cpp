#include "collect/event_log_xp_dlg.h"

#include "resource.h"

namespace qx {

CEventLogXpDlg::CEventLogXpDlg(CollectRequest* request) noexcept : Dialog(IDD_EVENTLOG_XP_DLG), request_(request) {}

BOOL CEventLogXpDlg::OnInitDialog()
{
    WriteFieldsToControls();
    return TRUE;
}

void CEventLogXpDlg::WriteFieldsToControls()
{
    for (int i = 0; i < CollectRequest::kLegacyLogCount; ++i) {
        if (request_->LegacyLogFlag(i) == 1) ::CheckDlgButton(Handle(), IDC_LEGACY_SYSTEM + i, BST_CHECKED);
    }
}

void CEventLogXpDlg::ReadControlsIntoFields()
{
    for (int i = 0; i < CollectRequest::kLegacyLogCount; ++i) {
        request_->LegacyLogFlag(i) = ::IsDlgButtonChecked(Handle(), IDC_LEGACY_SYSTEM + i) == BST_CHECKED;
    }
}

void CEventLogXpDlg::OnOK()
{
    ReadControlsIntoFields();
    EndModal(IDOK);
}

}  // namespace qx
