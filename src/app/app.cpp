#include "app/app.h"

#include "app/main_dlg.h"

#include <commctrl.h>

#include <memory>

namespace qx {

CQXDIAGApp& TheApp()
{
    static CQXDIAGApp app;
    return app;
}

int CQXDIAGApp::Run()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);

    // The tool keeps no profile; the key name is set as the framework expects.
    profileKeyName_ = L"アプリケーション ウィザードで生成されたローカル アプリケーション";

    auto mainDlg = std::make_unique<CMainDlg>();
    if (!mainDlg->Create(nullptr)) return 1;
    mainDlg->RunModal(nullptr);
    mainDlg.reset();
    return 0;
}

}  // namespace qx
