#pragma once
// Restarting Windows. ExitWindowsEx sits behind a seam: a test that reached the
// real call would restart the machine it runs on.

#include <windows.h>

#include <functional>

namespace qx {

struct RestartSeam {
    // Replaces ExitWindowsEx(flags, reason) when set.
    std::function<BOOL(UINT flags, DWORD reason)> exitWindows;
};
RestartSeam& TheRestartSeam();

// Enables SeShutdownPrivilege on this process's token and asks Windows for a
// plain restart (EWX_REBOOT, no force, reason 0), so that running programs may
// still hold it up; once Windows accepted, posts WM_CLOSE to `mainWindow` so
// that the tool closes itself. False, with nothing posted, when the token
// cannot be opened, the privilege cannot be enabled or Windows refuses.
bool RestartComputer(HWND mainWindow);

}  // namespace qx
