#pragma once
// The application object: prepares the common controls and runs the main window.

#include <windows.h>

#include <string>

namespace qx {

class CMainDlg;

class CQXDIAGApp {
public:
    // Runs the tool; returns the process exit code once the main window has ended.
    int Run();

    const std::wstring& ProfileKeyName() const noexcept { return profileKeyName_; }

private:
    std::wstring profileKeyName_;
};

// The single application object.
CQXDIAGApp& TheApp();

}  // namespace qx
