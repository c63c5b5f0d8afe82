#include "app/about_dlg.h"

#include "resource.h"

namespace qx {

CAboutDlg::CAboutDlg() noexcept : Dialog(IDD_ABOUTBOX) {}

}  // namespace qx
