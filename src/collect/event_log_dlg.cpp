#include "collect/event_log_dlg.h"

#include "resource.h"

namespace qx {

CEventlogDlg::CEventlogDlg(CollectRequest* request) noexcept : Dialog(IDD_EVENTLOG_DLG), request_(request) {}

BOOL CEventlogDlg::OnInitDialog()
{
    const UINT periods[] = {IDS_PERIOD_48H, IDS_PERIOD_7D, IDS_PERIOD_30D, IDS_PERIOD_60D, IDS_PERIOD_ALL};
    for (UINT period : periods) {
        ::SendDlgItemMessageW(Handle(), IDC_PERIOD, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(LoadResourceString(period).c_str()));
    }
    WriteFieldsToControls();
    return TRUE;
}

void CEventlogDlg::WriteFieldsToControls()
{
    for (int i = 0; i < CollectRequest::kLevelFlagCount; ++i) {
        if (request_->LevelFlag(i) == 1) ::CheckDlgButton(Handle(), IDC_SYSTEM_INFO + i, BST_CHECKED);
    }
    ::SendDlgItemMessageW(Handle(), IDC_PERIOD, CB_SETCURSEL, static_cast<WPARAM>(request_->PeriodIndex), 0);
}

void CEventlogDlg::ReadControlsIntoFields()
{
    for (int i = 0; i < CollectRequest::kLevelFlagCount; ++i) {
        request_->LevelFlag(i) = ::IsDlgButtonChecked(Handle(), IDC_SYSTEM_INFO + i) == BST_CHECKED;
    }
    request_->PeriodIndex = static_cast<int>(::SendDlgItemMessageW(Handle(), IDC_PERIOD, CB_GETCURSEL, 0, 0));
}

void CEventlogDlg::OnOK()
{
    ReadControlsIntoFields();
    EndModal(IDOK);
}

}  // namespace qx
