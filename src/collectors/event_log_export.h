#pragma once
// Event-log export on Windows Vista and later: each log is saved as .evtx by
// wevtutil's "epl" command, with an XPath query that selects by the chosen
// period and, for the three system logs, by event kind.

#include "collect/collector.h"
#include "platform/processes.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace qx {

// The collector: the three product logs always, System, Application and
// Security when the user chose event kinds for them. Stops the run only after
// a cancellation.
bool ExportEventLogs(CollectionProgress& progress, const std::wstring& runLogPath);

// How long one channel's wevtutil may run before it is ended.
inline constexpr DWORD kWevtutilTimeLimitMs = 30 * 60 * 1000;

// ExportEventLogs with the time it reads at its start given: every query's
// window ends at `now` (seconds since 1970-01-01 00:00:00 UTC); and with the
// time limit of one channel's wevtutil.
bool ExportEventLogsAt(CollectionProgress& progress, const std::wstring& runLogPath, std::int64_t now,
                       DWORD timeLimitMs = kWevtutilTimeLimitMs);

// Exports `channel` to `outputPath` with wevtutil from the system directory,
// hidden, and waits for it to end. The query selects `condition` (empty: none)
// and, when `windowStart` is not 0, the times from `windowStart` up to but not
// including `windowEnd`. A file of that name is deleted first; the new one gets
// open access. When `cancelled` turns true during the wait, or wevtutil still
// runs after `timeLimitMs`, it is ended and its unfinished file deleted; the
// result's Error then tells what of that failed.
RunResult RunWevtutilExport(const std::wstring& channel, const std::wstring& outputPath,
                            const std::wstring& condition, std::int64_t windowStart, std::int64_t windowEnd,
                            DWORD timeLimitMs = kWevtutilTimeLimitMs,
                            const std::function<bool()>& cancelled = [] { return false; });

// "YYYY-MM-DDThh:mm:ss" in UTC; empty when the value has no calendar date.
std::wstring FormatXPathTime(std::int64_t secondsSince1970);

// The XPath condition on the System part for the chosen levels: information,
// warning, error, critical. Information selects levels 4 and 0.
std::wstring BuildLevelFilter(const std::array<BYTE, 4>& levels, bool verbose = false);

}  // namespace qx
