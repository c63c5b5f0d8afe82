#include "collectors/legacy_event_log.h"

#include "collect/run_log.h"
#include "collectors/event_logs.h"
#include "platform/eventlog.h"
#include "platform/files.h"

namespace qx {
namespace {

class BackupSaver : public EventLogSaver {
public:
    BackupSaver(const CollectRequest& request, const std::wstring& runLogPath)
        : request_(request), runLogPath_(runLogPath)
    {
    }

    std::wstring_view Extension() const override { return kBackedUpLogExtension; }

    bool Wanted(const EventLogStep& step) const override
    {
        switch (step.Log) {
        case EventLog::System: return request_.LegacySystemLog;
        case EventLog::Application: return request_.LegacyApplicationLog;
        case EventLog::Security: return request_.LegacySecurityLog;
        default: return true;
        }
    }

    void LogStep(const EventLogStep& step, const std::wstring& fileName) const override
    {
        AppendRunLogEntry(runLogPath_, L"export eventlog '" + std::wstring(step.Name) + L"' >> " + fileName);
    }

    void Save(const EventLogStep& step, const std::wstring& outputPath) const override
    {
        // Nothing is deleted first: a backup that meets an earlier file fails
        // and leaves it, security and all. Missing logs and failed backups are
        // not logged.
        if (BackupEventLog(std::wstring(step.Name), outputPath)) ApplyOpenAccess(outputPath);
    }

private:
    const CollectRequest& request_;
    const std::wstring& runLogPath_;
};

}  // namespace

bool BackupEventLogs(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return SaveEventLogs(progress, runLogPath, BackupSaver(progress.Request(), runLogPath));
}

}  // namespace qx
