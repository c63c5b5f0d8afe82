#include "platform/restart.h"

#include "platform/handles.h"

namespace qx {
namespace {

bool EnableShutdownPrivilege()
{
    UniqueHandleKernel token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    return ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
}

}  // namespace

RestartSeam& TheRestartSeam()
{
    static RestartSeam seam;
    return seam;
}

bool RestartComputer(HWND mainWindow)
{
    if (!EnableShutdownPrivilege()) return false;
    const RestartSeam& seam = TheRestartSeam();
    const BOOL accepted = seam.exitWindows ? seam.exitWindows(EWX_REBOOT, 0) : ::ExitWindowsEx(EWX_REBOOT, 0);
    if (!accepted) return false;
    ::PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    return true;
}

}  // namespace qx
