#pragma once
// What every collector is given: the request, a place to report progress, and
// the user's cancellation. The progress dialog implements it; tests can too.

#include "collect/collect_request.h"

#include <windows.h>

#include <string>

namespace qx {

// How a step ended, as the manifest lists it. The failures come first, in the
// order the worst of them names the step.
enum class StepOutcome { Cancel, CopyError, Timeout, Skipped, None, Done };

class CollectionProgress {
public:
    virtual const CollectRequest& Request() const = 0;
    // Set once the user confirmed Cancel; never cleared during a run.
    virtual bool CancelRequested() const = 0;
    virtual void SetStepTitle(const std::wstring& text) = 0;
    virtual void SetStatus(const std::wstring& text) = 0;
    // Position 0 ... 100 of the current step.
    virtual void SetProgress(int position) = 0;
    // The collectors' fixed pauses, which keep a status on screen long enough
    // to be read; the progress dialog sleeps them.
    virtual void Pause(DWORD milliseconds) = 0;

    // What the current step wrote into the output tree, right after it was
    // written (`source`: what it was copied from, empty for an export), and
    // what of it failed, with the Win32 error. For the manifest; ignored unless
    // a run records them.
    virtual void FileWritten(const std::wstring& path, const std::wstring& source)
    {
        (void)path;
        (void)source;
    }
    virtual void StepFailed(StepOutcome kind, const std::wstring& what, DWORD error)
    {
        (void)kind;
        (void)what;
        (void)error;
    }

protected:
    ~CollectionProgress() = default;
};

// Runs on the worker thread. True lets the run go on; false stops it, and is
// returned only after the collector saw CancelRequested and logged "cancel".
using Collector = bool (*)(CollectionProgress& progress, const std::wstring& runLogPath);

// Writes to the run log at the head of every run; neither reports nor stops.
using RunLogWriter = void (*)(const std::wstring& runLogPath);

}  // namespace qx
