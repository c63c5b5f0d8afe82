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

// Writes the opening separator, runs the plan against `progress` and writes the
// closing separator when every step went on.
RunOutcome RunCollection(CollectionProgress& progress, const CollectionPlan& plan);

}  // namespace qx
