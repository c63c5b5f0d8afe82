#pragma once
// Programs and processes.

#include <string>

namespace qx {

// Opens `path` with its default action (a folder: a file-manager window), as
// ShellExecuteExW does with no verb; true when it was started.
bool OpenInShell(const std::wstring& path);

// Starts `program` (a full path) without parameters, shown normally, without
// waiting for it or keeping a handle; true when the shell reports it started.
// A relative or bare name is refused, never searched for.
bool StartProgram(const std::wstring& program);

// Starts `program` (a full path) with `parameters`, hidden, and waits until it
// has ended; true when it was started.
bool RunHiddenAndWait(const std::wstring& program, const std::wstring& parameters);

// How long TerminateProcessesByName waits, in all, for the processes it ended.
inline constexpr unsigned kProcessEndWaitMilliseconds = 5000;

// Ends every running process whose executable name equals `exeName` in any
// case, and waits until they have gone (kProcessEndWaitMilliseconds at most).
void TerminateProcessesByName(const std::wstring& exeName);

}  // namespace qx
