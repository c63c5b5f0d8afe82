#include "collectors/legacy_event_log.h"

#include "collect/run_log.h"
#include "collectors/event_logs.h"
#include "platform/eventlog.h"
#include "platform/files.h"
#include "platform/system.h"

namespace qx {
namespace {

class BackupSaver : public EventLogSaver {
public:
    BackupSaver(CollectionProgress& progress, const std::wstring& runLogPath)
        : progress_(progress), request_(progress.Request()), runLogPath_(runLogPath)
    {
    }

    std::wstring_view Extension() const override { return L".evt"; }

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

    bool Save(const EventLogStep& step, const std::wstring& outputPath) const override
    {
        const std::wstring name(step.Name);
        // The service would back up its Application log under this log's name.
        if (const LSTATUS found = FindEventLog(name); found != ERROR_SUCCESS) {
            AppendRunLogEntry(runLogPath_, L"export eventlog '" + name + L"' skipped. no key " +
                                               EventLogServiceKey(name) + L" (" + DescribeError(found) + L")");
            progress_.NoteFailure();
            return true;
        }
        // Nothing is deleted first: a backup that meets an earlier file fails
        // and leaves it. Failed backups are not logged.
        BackupEventLog(name, outputPath);
        ApplyOpenAccess(outputPath);
        return true;
    }

private:
    CollectionProgress& progress_;
    const CollectRequest& request_;
    const std::wstring& runLogPath_;
};

}  // namespace

bool BackupEventLogs(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return SaveEventLogs(progress, runLogPath, BackupSaver(progress, runLogPath));
}

}  // namespace qx
