#pragma once
// What every collector is given: the request, a place to report progress, and
// the user's cancellation. The progress dialog implements it; tests can too.

#include "collect/collect_request.h"

#include <string>

namespace qx {

class CollectionProgress {
public:
    virtual const CollectRequest& Request() const = 0;
    // Set once the user confirmed Cancel; never cleared during a run.
    virtual bool CancelRequested() const = 0;
    virtual void SetStepTitle(const std::wstring& text) = 0;
    virtual void SetStatus(const std::wstring& text) = 0;
    // Position 0 ... 100 of the current step.
    virtual void SetProgress(int position) = 0;
    // A step went on past something it could not collect: a copy error, an
    // export that timed out or was skipped. The run log has the details.
    virtual void NoteFailure() {}

protected:
    ~CollectionProgress() = default;
};

// Runs on the worker thread. True lets the run go on; false stops it, and is
// returned only after the collector saw CancelRequested and logged "cancel".
using Collector = bool (*)(CollectionProgress& progress, const std::wstring& runLogPath);

// Writes to the run log at the head of every run; neither reports nor stops.
using RunLogWriter = void (*)(const std::wstring& runLogPath);

}  // namespace qx
