#pragma once
// The about box, opened from the main window's system menu.

#include "platform/ui.h"

namespace qx {

class CAboutDlg : public Dialog {
public:
    CAboutDlg() noexcept;
};

}  // namespace qx
