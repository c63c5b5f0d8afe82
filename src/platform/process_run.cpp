#include "platform/handles.h"
#include "platform/processes.h"

#include <windows.h>
#include <shellapi.h>

namespace qx {

bool RunHiddenAndWait(const std::wstring& program, const std::wstring& parameters)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    const bool started = ::ShellExecuteExW(&info) && reinterpret_cast<INT_PTR>(info.hInstApp) > 32;
    const UniqueHandleKernel process(info.hProcess);
    if (!started) return false;
    // No process handle when the shell handed the start to a running program.
    if (process) ::WaitForSingleObject(process.get(), INFINITE);
    return true;
}

}  // namespace qx
