#pragma once
// Event-log export before Windows Vista: each log is backed up whole as .evt by
// the event-log service; no period and no selection by event kind.

#include "collect/collector.h"

#include <string>

namespace qx {

// The collector: the three product logs always, System, Application and
// Security as chosen in the pre-Vista detail dialog. An .evt file left by an
// earlier run stays as it was. Stops the run only after a cancellation.
bool BackupEventLogs(CollectionProgress& progress, const std::wstring& runLogPath);

}  // namespace qx
