#pragma once
// The tool's one window: the page sheet with every page of the tool.

#include "collect/event_log_page.h"
#include "pages/log_setting_page.h"
#include "pages/menu_page.h"
#include "pages/page_sheet.h"
#include "pages/vlx_log_setting_page.h"
#include "settings/clear_collect_setting_page.h"
#include "settings/collect_setting_page.h"
#include "vorlix/clear_collect_vlx_log_page.h"
#include "vorlix/collect_vlx_log_page.h"
#include "vorlix/vlx_console_log_page.h"
#include "vorlix/vlx_log_exec_page.h"

namespace qx {

// System-menu command of the about box; Windows uses the low four bits itself.
constexpr UINT kAboutCommand = 0x0010;

class CMainDlg : public CPageSheet {
public:
    CMainDlg();

    HICON Icon() const noexcept { return icon_; }

    CMenuPage& MenuPage() noexcept { return menuPage_; }
    CVLXConsoleLogPage& ConsoleLogPage() noexcept { return consoleLogPage_; }
    CEventLogPage& CollectPage() noexcept { return eventLogPage_; }


protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void AddAboutToSystemMenu();
    void OnSysCommand(WPARAM command, bool& handled);
    void PaintMinimised();

    HICON icon_;
    CMenuPage menuPage_;
    CLogSettingPage logSettingPage_;
    CEventLogPage eventLogPage_;
    CCollectSettingPage collectSettingPage_;
    CClearCollectSettingPage clearCollectSettingPage_;
    CVLXLogSettingPage vlxLogSettingPage_;
    CVLXLogExecPage vlxLogExecPage_;
    CVLXConsoleLogPage consoleLogPage_;
    CCollectVLXLogPage collectVlxLogPage_;
    CClearCollectVLXLogPage clearCollectVlxLogPage_;
};

}  // namespace qx
