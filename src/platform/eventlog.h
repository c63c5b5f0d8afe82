#pragma once
// The event-log service's own backup of a whole log (.evt).

#include <windows.h>

#include <string>

namespace qx {

// The key under which the event-log service of this computer keeps the log
// `logName`; only a log that has one is known to it.
std::wstring EventLogServiceKey(const std::wstring& logName);

// Opens that key for reading: ERROR_SUCCESS when the service knows the log.
// OpenEventLogW would open the Application log for a name it does not know.
LSTATUS FindEventLog(const std::wstring& logName);

// Backs up the log `logName` of this computer into the file `backupPath`
// (OpenEventLogW, BackupEventLogW, CloseEventLog). True when the service
// reported the backup made; an existing file makes it fail and stays as it was.
bool BackupEventLog(const std::wstring& logName, const std::wstring& backupPath);

}  // namespace qx
