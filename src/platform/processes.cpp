#include "platform/processes.h"

#include <windows.h>
#include <shellapi.h>

namespace qx {

bool OpenInShell(const std::wstring& path)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

}  // namespace qx
