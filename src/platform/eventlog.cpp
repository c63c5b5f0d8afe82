#include "platform/eventlog.h"

#include "platform/handles.h"

#include <windows.h>

namespace qx {
namespace {

struct EventLogHandleTraits {
    using pointer = HANDLE;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::CloseEventLog(h); }
};
using UniqueEventLog = UniqueHandle<EventLogHandleTraits>;

}  // namespace

bool BackupEventLog(const std::wstring& logName, const std::wstring& backupPath)
{
    const UniqueEventLog log(::OpenEventLogW(nullptr, logName.c_str()));
    return log && ::BackupEventLogW(log.get(), backupPath.c_str()) != FALSE;
}

}  // namespace qx
