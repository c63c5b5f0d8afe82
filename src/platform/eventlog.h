#pragma once
// The event-log service's own backup of a whole log (.evt).

#include <string>

namespace qx {

// Backs up the log `logName` of this computer into the file `backupPath`
// (OpenEventLogW, BackupEventLogW, CloseEventLog). True when the service
// reported the backup made; an existing file makes it fail and stays as it was.
bool BackupEventLog(const std::wstring& logName, const std::wstring& backupPath);

}  // namespace qx
