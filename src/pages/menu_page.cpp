#include "pages/menu_page.h"

#include "collectors/system_info.h"
#include "platform/registry_values.h"
#include "platform/system.h"
#include "resource.h"

#include <shlwapi.h>

#include <cwchar>
#include <iterator>
#include <vector>

namespace qx {
namespace {

// The installed-software list as the edit box shows it: CR LF line ends, no tabs.
std::wstring SoftwareListForDisplay(const std::wstring& list)
{
    std::wstring text;
    text.reserve(list.size() + list.size() / 8);
    for (wchar_t c : list) {
        if (c == L'\t') continue;
        if (c == L'\n') text += L'\r';
        text += c;
    }
    return text;
}

std::wstring OwnFileVersionText()
{
    const std::wstring numbers = OwnFileVersion();
    return numbers.empty() ? numbers : L"Version: " + numbers;
}

// Whether "QXServer.exe" exists in the folder that "ServerPath" names.
bool ServerPartInstalled()
{
    // The path as stored (a REG_EXPAND_SZ is not expanded); one that does not
    // fit MAX_PATH with its terminator counts as no server, and so does an
    // empty one, which would name "QXServer.exe" in the working folder.
    const std::optional<std::wstring> folder =
        ReadLocalMachineString(L"SOFTWARE\\Orvek\\TOVRA\\Server", L"ServerPath", MAX_PATH);
    if (!folder || folder->empty()) return false;
    wchar_t server[MAX_PATH] = {};
    return ::PathCombineW(server, folder->c_str(), L"QXServer.exe") && ::PathFileExistsW(server);
}

}  // namespace

std::wstring FileVersionText(const std::wstring& path)
{
    const std::wstring numbers = FileVersionNumbers(path);
    return numbers.empty() ? numbers : L"Version: " + numbers;
}

CMenuPage::CMenuPage() noexcept : CPage(IDD_MENU_PAGE) {}

BOOL CMenuPage::OnInitDialog()
{
    CPage::OnInitDialog();
    ::SetDlgItemTextW(Handle(), IDC_MENU_VERSION, OwnFileVersionText().c_str());
    // Read once: the list is not refreshed while the tool runs.
    ::SetDlgItemTextW(Handle(), IDC_MENU_SOFTWARE, SoftwareListForDisplay(InstalledSoftwareList()).c_str());
    return TRUE;
}

BOOL CMenuPage::OnPageActivate(int param)
{
    // Only ever disabled: once the server part was seen, the buttons stay off
    // until the tool exits.
    if (ServerPartInstalled()) {
        ::EnableWindow(::GetDlgItem(Handle(), IDC_MENU_LOGSETTING), FALSE);
        ::EnableWindow(::GetDlgItem(Handle(), IDC_MENU_VLXLOGSETTING), FALSE);
    }
    return CPage::OnPageActivate(param);
}

bool CMenuPage::PreTranslateMessage(MSG& msg)
{
    if (msg.message == WM_KEYDOWN && msg.wParam == 'A' && ::GetKeyState(VK_CONTROL) < 0) {
        if (HWND focus = ::GetFocus()) {
            ::SendMessageW(focus, EM_SETSEL, 0, -1);
            return true;
        }
    }
    return CPage::PreTranslateMessage(msg);
}

bool CMenuPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_MENU_COLLECT:
        OnCollect();
        return true;
    case IDC_MENU_LOGSETTING:
        OnLogSetting();
        return true;
    case IDC_MENU_VLXLOGSETTING:
        OnVlxLogSetting();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CMenuPage::OnCollect() { ShowPageById(IDD_EVENTLOG_PAGE, 0); }

void CMenuPage::OnLogSetting() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

void CMenuPage::OnVlxLogSetting() { ShowPageById(IDD_VLXLOGSETTING_PAGE, 0); }

}  // namespace qx
