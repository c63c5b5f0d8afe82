#include "collect/collection_run.h"

#include "collect/collection_record.h"
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
                              {&CollectRequest::WantEventLogs, CollectEventLogs, L"event"},
                              {&CollectRequest::WantDebugLogs, CollectDebugLogs, L"debug"},
                              {&CollectRequest::WantCrashDumps, CollectCrashDumps, L"dump"},
                              {&CollectRequest::WantCrashDumps, CollectDumpLogs, L"dump log"},
                              {&CollectRequest::WantRegistry, ExportRegistry, L"registry"},
                              {&CollectRequest::WantVorlixFiles, CollectVorlixFiles, L"vorlix"},
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

    RecordingProgress recording(progress);
    recording.BeginStep(L"system");
    for (RunLogWriter write : plan.Always) write(runLog);
    recording.EndStep(true, false);
    for (const CollectionStep& step : plan.Steps) {
        if (!(progress.Request().*step.Item)) continue;
        recording.BeginStep(step.Name);
        const bool wentOn = step.Run(recording, runLog);
        recording.EndStep(wentOn);
        if (!wentOn) return RunOutcome::Stopped;
    }
    AppendRunLogLine(runLog, kRunLogSeparator);
    // The report first, so that the manifest lists it too. Either failing to be
    // written leaves the collection itself complete.
    if (WriteReport(recording.Record(), progress.Request())) {
        recording.FileWritten(JoinPath(progress.Request().OutputFolder, kReportName), L"");
    }
    WriteManifest(recording.Record(), progress.Request());
    return RunOutcome::Completed;
}

}  // namespace qx
