#include "collect/event_log_page.h"

#include "collect/event_log_dlg.h"
#include "collect/event_log_xp_dlg.h"
#include "collect/folder_archive.h"
#include "collect/output_folder.h"
#include "collect/prog_dlg.h"
#include "collect/run_log.h"
#include "collectors/event_logs.h"
#include "collectors/file_collectors.h"
#include "pages/standard_message.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "resource.h"

#include <algorithm>
#include <array>
#include <utility>

namespace qx {
namespace {

struct ItemCheckBox {
    BYTE CollectRequest::*Item;
    int Id;
};

constexpr std::array<ItemCheckBox, 5> kItemCheckBoxes{{
    {&CollectRequest::WantEventLogs, IDC_ITEM_EVENTLOG},
    {&CollectRequest::WantDebugLogs, IDC_ITEM_DEBUGLOG},
    {&CollectRequest::WantCrashDumps, IDC_ITEM_CRASHDUMP},
    {&CollectRequest::WantRegistry, IDC_ITEM_REGISTRY},
    {&CollectRequest::WantVorlixFiles, IDC_ITEM_VORLIX},
}};

}  // namespace

CEventLogPage::CEventLogPage() noexcept : CPage(IDD_EVENTLOG_PAGE) {}

BOOL CEventLogPage::OnInitDialog()
{
    CPage::OnInitDialog();
    for (const ItemCheckBox& checkBox : kItemCheckBoxes) ::CheckDlgButton(Handle(), checkBox.Id, BST_CHECKED);
    return TRUE;
}

bool CEventLogPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_ITEM_EVENTLOG:
        OnEventLogItem();
        return true;
    case IDC_EVENTLOG_DETAIL:
        OnDetail();
        return true;
    case IDC_SAVE:
        OnSave();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CEventLogPage::OnCancel() { ShowPageById(IDD_MENU_PAGE, 0); }

void CEventLogPage::OnEventLogItem()
{
    const bool checked = ::IsDlgButtonChecked(Handle(), IDC_ITEM_EVENTLOG) == BST_CHECKED;
    ::EnableWindow(::GetDlgItem(Handle(), IDC_EVENTLOG_DETAIL), checked);
}

void CEventLogPage::OnDetail()
{
    if (IsVistaOrLater()) {
        CEventlogDlg(&request_).DoModal(MainWindow());
    } else {
        CEventLogXpDlg(&request_).DoModal(MainWindow());
    }
}

void CEventLogPage::ReadItemsIntoRequest()
{
    for (const ItemCheckBox& checkBox : kItemCheckBoxes) {
        request_.*checkBox.Item = ::IsDlgButtonChecked(Handle(), checkBox.Id) == BST_CHECKED;
    }
}

void CEventLogPage::OnSave()
{
    HWND saveButton = ::GetDlgItem(Handle(), IDC_SAVE);
    ::EnableWindow(saveButton, FALSE);
    Save();
    ::EnableWindow(saveButton, TRUE);
}

// What the system keeps free beside the collection.
constexpr std::uint64_t kSpaceMarginBytes = 64ull << 20;

bool CEventLogPage::EnoughSpaceOrGoOn(const std::wstring& chosenFolder) const
{
    const std::uint64_t needed = (request_.WantEventLogs ? EventLogFileBytes() : 0) + PlannedCopyBytes(request_);
    const std::optional<std::uint64_t> free = FreeBytesOnVolume(chosenFolder);
    // A volume that does not tell its free space is not held against the user.
    if (!free || needed + kSpaceMarginBytes <= *free) return true;
    const auto megabytes = [](std::uint64_t bytes) { return std::to_wstring((bytes + (1 << 20) - 1) >> 20); };
    const std::wstring text = FormatResourceString(IDS_SPACE_SHORT, {megabytes(needed), megabytes(*free)});
    return ShowSaveMessage(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CEventLogPage::Save()
{
    ReadItemsIntoRequest();
    std::wstring chosen;
    if (!PickFolder(MainWindow(), LoadResourceString(IDS_PICK_FOLDER_TITLE), chosen)) {
        request_.OutputFolder.clear();
        return;
    }
    if (!EnoughSpaceOrGoOn(chosen)) return;
    if (PrepareOutputFolder(request_, chosen) != ERROR_SUCCESS) {
        ShowOutputWriteFailed();
        return;
    }

    CProgDlg progress(&request_, plan_);
    progress.DoModal(MainWindow());

    if (progress.CancelRequested()) {
        ShowSaveMessage(IDS_COLLECT_CANCELLED, MB_ICONINFORMATION);
    } else if (progress.Outcome() != RunOutcome::Completed) {
        // The run log could not be written: nothing was collected.
        ShowOutputWriteFailed();
    } else {
        request_.OutputFolder = AddTrailingBackslash(request_.OutputFolder);
        const int answer = ShowSaveMessage(IDS_COLLECT_DONE, MB_YESNO | MB_ICONINFORMATION);
        if (answer == IDYES) OpenInShell(request_.OutputFolder);
        OfferArchive();
    }
}

void CEventLogPage::OfferArchive()
{
    const int answer = ShowSaveMessage(IDS_ARCHIVE_ASK, MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES) return;

    ArchiveResult archive;
    CProgDlg progress(&request_, [&archive](CollectionProgress& run) {
        archive = ArchiveOutputFolder(run);
        return RunOutcome::Completed;
    });
    progress.DoModal(MainWindow());

    if (archive.Outcome == ArchiveOutcome::Made) {
        ShowSaveMessage(FormatResourceString(IDS_ARCHIVE_MADE, archive.Path), MB_ICONINFORMATION);
    } else if (archive.Outcome == ArchiveOutcome::Cancelled) {
        ShowSaveMessage(IDS_ARCHIVE_CANCELLED, MB_ICONINFORMATION);
    } else {
        ShowSaveMessage(FormatResourceString(IDS_ARCHIVE_FAILED, archive.Error), MB_ICONWARNING);
    }
}

}  // namespace qx
