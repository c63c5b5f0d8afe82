#pragma once
// Programs and processes.

#include <string>

namespace qx {

// Opens `path` with its default action (a folder: a file-manager window), as
// ShellExecuteExW does with no verb; true when it was started.
bool OpenInShell(const std::wstring& path);

}  // namespace qx
