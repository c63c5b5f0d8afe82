#include "collectors/event_logs.h"

#include "collect/run_log.h"
#include "collectors/event_log_export.h"
#include "collectors/legacy_event_log.h"
#include "platform/eventlog.h"
#include "platform/files.h"
#include "platform/registry_values.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "resource.h"

namespace qx {
namespace {

constexpr wchar_t kEventFolder[] = L"event";

}  // namespace

// The "Vorlix" step shows no text of its own: the status line keeps the TOVRA
// Security text while it runs.
const std::array<EventLogStep, 6> kEventLogSteps{{
    {EventLog::Tovra, L"TOVRA", L"tovra", IDS_TOVRALOG_RUNNING, 20, 0, false},
    {EventLog::TovraSecurity, L"TOVRA Security", L"tovrasecurity", IDS_TOVRASECURITYLOG_RUNNING, 40, 0, false},
    {EventLog::Vorlix, L"Vorlix", L"vorlix", 0, 50, 0, false},
    {EventLog::System, L"System", L"system", IDS_SYSTEMLOG_RUNNING, 60, IDS_SYSTEMLOG_DONE, true},
    {EventLog::Application, L"Application", L"application", IDS_APPLICATIONLOG_RUNNING, 70, IDS_APPLICATIONLOG_DONE,
     true},
    {EventLog::Security, L"Security", L"security", IDS_SECURITYLOG_RUNNING, 80, IDS_SECURITYLOG_DONE, true},
}};

bool SaveEventLogs(CollectionProgress& progress, const std::wstring& runLogPath, const EventLogSaver& saver)
{
    progress.SetStepTitle(LoadResourceString(IDS_EVENTLOG_TITLE));
    progress.SetProgress(0);

    const std::wstring eventFolder = JoinPath(progress.Request().OutputFolder, kEventFolder);
    for (const EventLogStep& step : kEventLogSteps) {
        if (saver.Wanted(step)) {
            const std::wstring fileName = std::wstring(step.FileStem) + std::wstring(saver.Extension());
            saver.LogStep(step, fileName);
            if (step.StatusBefore) progress.SetStatus(LoadResourceString(step.StatusBefore));
            // A path that does not fit MAX_PATH is never cut short: that log is left out.
            const std::wstring outputPath = eventFolder.empty() ? std::wstring() : JoinPath(eventFolder, fileName);
            if (!outputPath.empty() && !saver.Save(step, outputPath)) {
                AppendRunLogEntry(runLogPath, L"cancel");
                return false;
            }
            progress.SetProgress(step.Bar);
            if (step.StatusAfter) progress.SetStatus(LoadResourceString(step.StatusAfter));
        }
        if (step.CancelCheckAfter && progress.CancelRequested()) {
            AppendRunLogEntry(runLogPath, L"cancel");
            return false;
        }
    }

    progress.SetProgress(100);
    progress.SetStatus(LoadResourceString(IDS_EVENTLOG_DONE));
    // Keeps the closing text on screen for a moment.
    progress.Pause(500);
    return true;
}

std::uint64_t EventLogFileBytes()
{
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;
    std::uint64_t bytes = 0;
    for (const EventLogStep& step : kEventLogSteps) {
        std::wstring file;
        if (IsVistaOrLater()) {
            file = std::wstring(windows, length) + L"\\System32\\winevt\\Logs\\" + std::wstring(step.Name) + L".evtx";
        } else if (const std::optional<std::wstring> stored =
                       ReadLocalMachineString(EventLogServiceKey(std::wstring(step.Name)), L"File", MAX_PATH)) {
            file = ExpandedPath(*stored);
        }
        if (!file.empty()) bytes += FileSizeOrZero(file);
    }
    return bytes;
}

bool CollectEventLogs(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return IsVistaOrLater() ? ExportEventLogs(progress, runLogPath) : BackupEventLogs(progress, runLogPath);
}

std::vector<std::wstring> EventLogFiles()
{
    const std::wstring_view extension = IsVistaOrLater() ? kExportedLogExtension : kBackedUpLogExtension;
    std::vector<std::wstring> files;
    for (const EventLogStep& step : kEventLogSteps) {
        files.push_back(std::wstring(kEventFolder) + L"\\" + std::wstring(step.FileStem) + std::wstring(extension));
    }
    return files;
}

}  // namespace qx
