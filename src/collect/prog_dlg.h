#pragma once
// The progress dialog: runs the collection on one worker thread and offers
// Cancel. It ends only once the worker has stopped, so nothing the worker uses
// goes away under it.

#include "collect/collection_run.h"
#include "platform/ui.h"

#include <atomic>
#include <functional>

namespace qx {

class CProgDlg : public Dialog, public CollectionProgress {
public:
    // What the worker does; the collection of `plan` unless given.
    using Work = std::function<RunOutcome(CollectionProgress& progress)>;
    explicit CProgDlg(CollectRequest* request, CollectionPlan plan = DefaultCollectionPlan());
    CProgDlg(CollectRequest* request, Work work);

    // Shared with the worker: CancelRequested has the UI thread as its only
    // writer; the outcome (WorkFinished once it leaves Running) the worker.
    bool CancelRequested() const override { return cancelRequested_.load(); }
    bool WorkFinished() const { return Outcome() != RunOutcome::Running; }
    RunOutcome Outcome() const { return outcome_.load(); }

    const CollectRequest& Request() const override { return *request_; }
    void SetStepTitle(const std::wstring& text) override;
    void SetStatus(const std::wstring& text) override;
    void SetProgress(int position) override;
    void Pause(DWORD milliseconds) override { ::Sleep(milliseconds); }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnOK() override;
    void OnCancel() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    static DWORD WINAPI WorkerMain(LPVOID self);
    void OnCancelRun();
    void OnClose();
    void ConfirmCancel();

    CollectRequest* request_;
    Work work_;
    std::atomic<bool> cancelRequested_{false};
    std::atomic<RunOutcome> outcome_{RunOutcome::Running};
};

}  // namespace qx
