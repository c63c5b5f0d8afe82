#include "collect/collection_run.h"

#include "collect/run_log.h"
#include "collectors/event_logs.h"
#include "collectors/file_collectors.h"
#include "collectors/registry_export.h"
#include "collectors/system_info.h"
#include "platform/files.h"

namespace qx {

CollectionPlan DefaultCollectionPlan()
{
    return CollectionPlan{{WriteOsVersion, WriteInstalledSoftware},
                          {
                              {&CollectRequest::WantEventLogs, CollectEventLogs},
                              {&CollectRequest::WantDebugLogs, CollectDebugLogs},
                              {&CollectRequest::WantCrashDumps, CollectCrashDumps},
                              {&CollectRequest::WantCrashDumps, CollectDumpLogs},
                              {&CollectRequest::WantRegistry, ExportRegistry},
                              {&CollectRequest::WantVorlixFiles, CollectVorlixFiles},
                          }};
}

std::vector<std::wstring> FixedOutputFiles(const CollectRequest& request)
{
    std::vector<std::wstring> files;
    if (request.WantEventLogs) files = EventLogFiles();
    if (request.WantRegistry) {
        const std::vector<std::wstring> registry = RegistryExportFiles();
        files.insert(files.end(), registry.begin(), registry.end());
    }
    return files;
}

RunOutcome RunCollection(CollectionProgress& progress, const CollectionPlan& plan)
{
    const std::wstring runLog = RunLogPath(progress.Request().OutputFolder);
    // An earlier run's log keeps the security it has.
    const bool newLog = ::GetFileAttributesW(runLog.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (!AppendRunLogLine(runLog, kRunLogSeparator)) return RunOutcome::RunLogFailed;
    if (newLog) ApplyOpenAccess(runLog);

    for (RunLogWriter write : plan.Always) write(runLog);
    for (const CollectionStep& step : plan.Steps) {
        if (progress.Request().*step.Item && !step.Run(progress, runLog)) return RunOutcome::Stopped;
    }
    AppendRunLogLine(runLog, kRunLogSeparator);
    return RunOutcome::Completed;
}

}  // namespace qx
