#pragma once
// The worker's fixed order of steps, and the run itself.

#include "collect/collector.h"

#include <string>
#include <vector>

namespace qx {

struct CollectionStep {
    // The item of the request that makes this step run.
    BYTE CollectRequest::*Item;
    Collector Run;
    // As the manifest names the step.
    const wchar_t* Name = L"";
};

struct CollectionPlan {
    // Always run first, whatever the items.
    std::vector<RunLogWriter> Always;
    // In the order of the run.
    std::vector<CollectionStep> Steps;
};

// The tool's own steps.
CollectionPlan DefaultCollectionPlan();

// The files of fixed name that the tool's own steps write for the items of
// `request`, relative to its output folder; the run log is not among them.
std::vector<std::wstring> FixedOutputFiles(const CollectRequest& request);

enum class RunOutcome {
    Running,
    Completed,
    // A collector stopped the run after a cancellation.
    Stopped,
    // The run log could not be written at the start; nothing was collected.
    RunLogFailed,
};

// Writes the opening separator, runs the plan against `progress` and, when
// every step went on, writes the closing separator and then the manifest and
// the report of the run.
RunOutcome RunCollection(CollectionProgress& progress, const CollectionPlan& plan);

}  // namespace qx
