#include "vorlix/vlx_log_exec_page.h"

#include "pages/standard_message.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "vorlix/vorlix_client.h"

namespace qx {
namespace {

// Both renames are tried even when the first fails; neither replaces a file.
void RenamePair(const std::wstring& install, const wchar_t* first, const wchar_t* firstTo, const wchar_t* second,
                const wchar_t* secondTo)
{
    RenameWithoutReplacing(InstallFile(install, first), InstallFile(install, firstTo));
    RenameWithoutReplacing(InstallFile(install, second), InstallFile(install, secondTo));
}

// Both buttons report a failed launch with the same message. Only a program
// that is there in the install folder is started, and only by its full path.
void LaunchAndReport(HWND page, const std::wstring& install, const wchar_t* program, UINT startedTextId)
{
    if (InstallFileExists(install, program) && StartProgram(InstallFile(install, program))) {
        ShowStandardMessage(page, startedTextId, MB_ICONINFORMATION);
    } else {
        ShowStandardMessage(page, IDS_VLX_START_FAILED, MB_OK);
    }
}

}  // namespace

CVLXLogExecPage::CVLXLogExecPage() noexcept : CPage(IDD_VLXLOGEXEC_PAGE) {}

BOOL CVLXLogExecPage::OnPageActivate(int param)
{
    folder_ = DebugLogFolder();
    WriteControls();
    return CPage::OnPageActivate(param);
}

bool CVLXLogExecPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_VLX_EXEC:
        OnStart();
        return true;
    case IDC_VLX_STOP:
        OnStop();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CVLXLogExecPage::OnCancel() { ShowPageById(IDD_VLXLOGSETTING_PAGE, 0); }

void CVLXLogExecPage::WriteControls() { ::SetDlgItemTextW(Handle(), IDC_LOGFOLDER, folder_.c_str()); }

void CVLXLogExecPage::OnStart()
{
    // The normal client goes whatever the checks below find.
    TerminateProcessesByName(kVorlixExe);
    const std::wstring install = VorlixInstallFolder();
    if (install.empty()) {
        ShowStandardMessage(Handle(), IDS_VLX_NOT_INSTALLED, MB_OK);
        return;
    }
    if (!InstallFileExists(install, kVorlixLogExe)) {
        ShowStandardMessage(Handle(), IDS_VLXLOG_NOT_INSTALLED, MB_OK);
        return;
    }
    // The logging build of the extension program takes the normal one's place.
    if (InstallFileExists(install, kExtensionLogExe)) {
        RenamePair(install, kExtensionExe, kExtensionOriginal, kExtensionLogExe, kExtensionExe);
    }
    LaunchAndReport(Handle(), install, kVorlixLogExe, IDS_VLX_STARTED);
}

void CVLXLogExecPage::OnStop()
{
    TerminateProcessesByName(kVorlixLogExe);
    // Without an install folder nothing is renamed, and no "Vorlix.exe" is
    // looked for wherever the shell would search.
    const std::wstring install = VorlixInstallFolder();
    if (install.empty()) {
        ShowStandardMessage(Handle(), IDS_VLX_NOT_INSTALLED, MB_OK);
        return;
    }
    if (InstallFileExists(install, kExtensionOriginal)) {
        RenamePair(install, kExtensionExe, kExtensionLogExe, kExtensionOriginal, kExtensionExe);
    }
    LaunchAndReport(Handle(), install, kVorlixExe, IDS_VLX_STOPPED);
}

}  // namespace qx
