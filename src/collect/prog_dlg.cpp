#include "collect/prog_dlg.h"

#include "platform/handles.h"
#include "resource.h"

#include <commctrl.h>

#include <utility>

namespace qx {

CProgDlg::CProgDlg(CollectRequest* request, CollectionPlan plan)
    : CProgDlg(request, [plan = std::move(plan)](CollectionProgress& progress) {
          return RunCollection(progress, plan);
      })
{
}

CProgDlg::CProgDlg(CollectRequest* request, Work work)
    : Dialog(IDD_PROGRESS_DLG), request_(request), work_(std::move(work))
{
}

BOOL CProgDlg::OnInitDialog()
{
    cancelRequested_ = false;
    outcome_ = RunOutcome::Running;
    // Nobody waits for the worker: it tells the dialog by WM_CLOSE when it stops.
    const UniqueHandleKernel worker(::CreateThread(nullptr, 0, &CProgDlg::WorkerMain, this, 0, nullptr));
    if (!worker) {
        outcome_ = RunOutcome::RunLogFailed;
        ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
    }
    return TRUE;
}

DWORD WINAPI CProgDlg::WorkerMain(LPVOID param)
{
    auto* self = static_cast<CProgDlg*>(param);
    HWND dialog = self->Handle();
    const RunOutcome outcome = self->work_(*self);
    // From here on the dialog may end and go away: touch nothing of it.
    self->outcome_ = outcome;
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    return 0;
}

void CProgDlg::SetStepTitle(const std::wstring& text) { ::SetDlgItemTextW(Handle(), IDC_STEP_TITLE, text.c_str()); }

void CProgDlg::SetStatus(const std::wstring& text) { ::SetDlgItemTextW(Handle(), IDC_STATUS, text.c_str()); }

void CProgDlg::SetProgress(int position)
{
    ::SendDlgItemMessageW(Handle(), IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

bool CProgDlg::OnCommand(WORD id, WORD notifyCode)
{
    if (id == IDC_CANCEL_RUN) {
        OnCancelRun();
        return true;
    }
    return Dialog::OnCommand(id, notifyCode);
}

void CProgDlg::OnCancelRun() { ConfirmCancel(); }

// Enter or a posted IDOK: the dialog has no OK, and it ends only through the
// worker's WM_CLOSE.
void CProgDlg::OnOK() {}

// Esc acts like the Cancel button: the dialog ends only when the worker has stopped.
void CProgDlg::OnCancel()
{
    if (WorkFinished()) {
        EndModal(IDCANCEL);
    } else {
        ConfirmCancel();
    }
}

INT_PTR CProgDlg::OnMessage(UINT message, WPARAM, LPARAM, bool& handled)
{
    if (message == WM_CLOSE) {
        OnClose();
        handled = true;
    }
    return 0;
}

void CProgDlg::OnClose()
{
    if (WorkFinished()) {
        EndModal(IDCANCEL);
    } else if (!CancelRequested()) {
        ConfirmCancel();
    }
    // Cancel already confirmed: the worker closes the dialog when it stops.
}

void CProgDlg::ConfirmCancel()
{
    if (WorkFinished() || CancelRequested()) return;
    const int answer = ShowMessageBox(Handle(), LoadResourceString(IDS_CANCEL_CONFIRM),
                                      LoadResourceString(IDS_CANCEL_CAPTION), MB_YESNO);
    if (answer == IDYES) cancelRequested_ = true;
}

}  // namespace qx
