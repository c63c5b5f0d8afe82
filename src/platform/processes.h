#pragma once
// Programs and processes.

#include <windows.h>

#include <functional>
#include <string>

namespace qx {

// Opens `path` with its default action (a folder: a file-manager window), as
// ShellExecuteExW does with no verb; true when it was started.
bool OpenInShell(const std::wstring& path);

// Starts `program` (a full path) without parameters, shown normally, without
// waiting for it or keeping a handle; true when the shell reports it started.
// A relative or bare name is refused, never searched for.
bool StartProgram(const std::wstring& program);

enum class RunEnd {
    NotStarted,
    Ended,
    // Ended by us: `stop` turned true, or the program outlived its limit.
    Stopped,
    TimedOut,
};

struct RunResult {
    RunEnd End;
    // Of the start (an SE_ERR_ code when the shell gave one), or of ending a
    // stopped or timed-out program; 0 when it worked.
    DWORD Error;
};

// Starts `program` (a full path) with `parameters`, hidden, and waits until it
// has ended, looking at `stop` between short slices of the wait. When `stop`
// turns true, or the program still runs after `limitMs`, it is terminated and
// waited for, so that the files it held are closed on return.
RunResult RunHiddenUntil(const std::wstring& program, const std::wstring& parameters, DWORD limitMs,
                         const std::function<bool()>& stop);

// How long TerminateProcessesByName waits, in all, for the processes it ended.
inline constexpr unsigned kProcessEndWaitMilliseconds = 5000;

// Ends every running process whose executable name equals `exeName` in any
// case, and waits until they have gone (kProcessEndWaitMilliseconds at most).
void TerminateProcessesByName(const std::wstring& exeName);

}  // namespace qx
