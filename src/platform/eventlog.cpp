#include "platform/eventlog.h"

#include "platform/handles.h"
#include "platform/registry_values.h"

#include <windows.h>

namespace qx {
namespace {

using UniqueEventLog = UniqueAny<HANDLE, ::CloseEventLog>;

}  // namespace

std::wstring EventLogServiceKey(const std::wstring& logName)
{
    return L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + logName;
}

LSTATUS FindEventLog(const std::wstring& logName)
{
    UniqueHkey key;
    return OpenLocalMachineKey(EventLogServiceKey(logName), KeyAccess::Read, key);
}

bool BackupEventLog(const std::wstring& logName, const std::wstring& backupPath)
{
    const UniqueEventLog log(::OpenEventLogW(nullptr, logName.c_str()));
    return log && ::BackupEventLogW(log.get(), backupPath.c_str()) != FALSE;
}

}  // namespace qx
