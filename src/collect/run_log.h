#pragma once
// The run log "QXDIAG.log": code page 932, CR LF, appended line by line. The
// writers keep no state and may be called from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// Opens and closes every run: 75 hyphen-minus characters.
inline constexpr std::wstring_view kRunLogSeparator =
    L"---------------------------------------------------------------------------";

// "<outputFolder>\QXDIAG.log".
std::wstring RunLogPath(std::wstring_view outputFolder);

// Appends `text` and CR LF to the file `path` in code page 932, opened without
// sharing and closed again. False when the file cannot be opened or written (a
// link in its place is never written through), or when a character had no code
// page 932 form (it is written as "?").
bool AppendRunLogLine(const std::wstring& path, std::wstring_view text);

// "YYYY/MM/DD hh:mm:ss" in UTC for seconds since 1970-01-01 00:00:00 UTC; empty
// when the value has no calendar date.
std::wstring FormatLogTime(std::int64_t secondsSince1970);

// Appends "<FormatLogTime(now)>: <text>".
bool AppendRunLogEntry(const std::wstring& path, std::wstring_view text);

}  // namespace qx
