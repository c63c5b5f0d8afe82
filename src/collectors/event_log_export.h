#pragma once
// Event-log export on Windows Vista and later: each log is saved as .evtx by
// wevtutil's "epl" command, with an XPath query that selects by the chosen
// period and, for the three system logs, by event kind.

#include "collect/collector.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

namespace qx {

// The collector: the three product logs always, System, Application and
// Security when the user chose event kinds for them. Stops the run only after
// a cancellation.
bool ExportEventLogs(CollectionProgress& progress, const std::wstring& runLogPath);

// ExportEventLogs with the time it reads at its start given: every query's
// window ends at `now` (seconds since 1970-01-01 00:00:00 UTC).
bool ExportEventLogsAt(CollectionProgress& progress, const std::wstring& runLogPath, std::int64_t now);

// Exports `channel` to `outputPath` with wevtutil from the system directory,
// hidden, and waits for it to end. The query selects `condition` (empty: none)
// and, when `windowStart` is not 0, the times from `windowStart` up to but not
// including `windowEnd`. A file of that name is deleted first; the new one gets
// open access. False when wevtutil could not be started.
bool RunWevtutilExport(const std::wstring& channel, const std::wstring& outputPath, const std::wstring& condition,
                       std::int64_t windowStart, std::int64_t windowEnd);

// "YYYY-MM-DDThh:mm:ss" in UTC; empty when the value has no calendar date.
std::wstring FormatXPathTime(std::int64_t secondsSince1970);

// The XPath condition on the System part for the chosen levels: information,
// warning, error, critical. Information selects levels 4 and 0.
std::wstring BuildLevelFilter(const std::array<BYTE, 4>& levels);

}  // namespace qx
