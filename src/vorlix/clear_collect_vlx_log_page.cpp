#include "vorlix/clear_collect_vlx_log_page.h"

#include "pages/standard_message.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "settings/settings_journal.h"
#include "vorlix/vorlix_client.h"

namespace qx {

CClearCollectVLXLogPage::CClearCollectVLXLogPage() noexcept : CPage(IDD_CLEARCOLLECTVLXLOG_PAGE) {}

bool CClearCollectVLXLogPage::OnCommand(WORD id, WORD notifyCode)
{
    if (id == IDC_APPLY) {
        OnApply();
        return true;
    }
    return CPage::OnCommand(id, notifyCode);
}

void CClearCollectVLXLogPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

void CClearCollectVLXLogPage::OnApply()
{
    // The value the journal recorded comes back as it was, its arguments with it.
    switch (RestoreFromJournal(ProductSetting::VorlixRun)) {
    case RestoreOutcome::Failed:
        ShowStandardMessage(Handle(), IDS_REGISTRY_SET_FAILED, MB_ICONHAND);
        return;
    case RestoreOutcome::Restored:
        break;
    case RestoreOutcome::NotJournalled:
        // A missing normal client is reported as a client that is not installed.
        if (!PointAutostartAt(Handle(), PageId, kVorlixExe, IDS_VLX_NOT_INSTALLED)) return;
        break;
    }
    OfferRestart(MainWindow());
    ShowPageById(IDD_LOGSETTING_PAGE, 0);
}

}  // namespace qx
