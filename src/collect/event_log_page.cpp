#include "collect/event_log_page.h"

#include "collect/event_log_dlg.h"
#include "collect/event_log_xp_dlg.h"
#include "collect/prog_dlg.h"
#include "collect/run_log.h"
#include "collectors/event_logs.h"
#include "collectors/file_collectors.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "resource.h"

#include <algorithm>
#include <array>
#include <utility>

namespace qx {
namespace {

struct ItemFolder {
    BYTE CollectRequest::*Item;
    const wchar_t* Name;
};

// The sub-folder of each item, in the order they are created.
constexpr std::array<ItemFolder, 5> kItemFolders{{
    {&CollectRequest::WantEventLogs, L"event"},
    {&CollectRequest::WantDebugLogs, L"debug"},
    {&CollectRequest::WantCrashDumps, L"dump"},
    {&CollectRequest::WantRegistry, L"registry"},
    {&CollectRequest::WantVorlixFiles, L"vorlix"},
}};

// The check boxes of the five items, in the order of kItemFolders.
constexpr std::array<int, 5> kItemCheckBoxes{IDC_ITEM_EVENTLOG, IDC_ITEM_DEBUGLOG, IDC_ITEM_CRASHDUMP,
                                             IDC_ITEM_REGISTRY, IDC_ITEM_VORLIX};

void ShowSaveMessage(UINT textId, UINT type)
{
    // No owner: the main window stays usable while the outcome is shown.
    ShowMessageBox(nullptr, LoadResourceString(textId), LoadResourceString(IDS_SAVE_CAPTION), type);
}

// Checked before anything is created. Every path of the run must fit: a path
// cut short would write somewhere else. And the tree, which earlier runs left
// open to everyone, must hold no link that would lead the writes out of it.
bool IsSafeOutputTree(const CollectRequest& request, const std::vector<std::wstring>& subFolders)
{
    const std::wstring& output = request.OutputFolder;
    if (output.empty()) return false;
    const std::wstring runLog = RunLogPath(output);
    if (runLog.size() >= MAX_PATH) return false;
    for (const std::wstring& file : FixedOutputFiles(request)) {
        if (JoinPath(output, file).empty()) return false;
    }
    std::vector<std::wstring> checked{output, runLog};
    checked.insert(checked.end(), subFolders.begin(), subFolders.end());
    return std::all_of(checked.begin(), checked.end(),
                       [](const std::wstring& path) { return !path.empty() && IsAbsentOrPlain(path); });
}

}  // namespace

CEventLogPage::CEventLogPage() noexcept : CPage(IDD_EVENTLOG_PAGE) {}

BOOL CEventLogPage::OnInitDialog()
{
    CPage::OnInitDialog();
    for (int checkBox : kItemCheckBoxes) ::CheckDlgButton(Handle(), checkBox, BST_CHECKED);
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

HWND CEventLogPage::MainWindow() const { return ::GetAncestor(Handle(), GA_ROOT); }

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
    for (size_t i = 0; i < kItemFolders.size(); ++i) {
        request_.*kItemFolders[i].Item = ::IsDlgButtonChecked(Handle(), kItemCheckBoxes[i]) == BST_CHECKED;
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
    std::wstring text = LoadResourceString(IDS_SPACE_SHORT);
    for (const std::wstring& figure : {megabytes(needed), megabytes(*free)}) {
        if (const std::wstring::size_type at = text.find(L"%s"); at != std::wstring::npos) text.replace(at, 2, figure);
    }
    return ShowMessageBox(nullptr, text, LoadResourceString(IDS_SAVE_CAPTION), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CEventLogPage::Save()
{
    ReadItemsIntoRequest();
    if (!PickFolder(MainWindow(), LoadResourceString(IDS_PICK_FOLDER_TITLE), request_.OutputFolder)) return;
    if (!EnoughSpaceOrGoOn(request_.OutputFolder)) return;

    request_.OutputFolder = JoinPath(request_.OutputFolder, L"QXDIAG");
    std::vector<std::wstring> subFolders;
    for (const ItemFolder& folder : kItemFolders) {
        if (request_.*folder.Item) subFolders.push_back(JoinPath(request_.OutputFolder, folder.Name));
    }
    if (!IsSafeOutputTree(request_, subFolders) || !CreateFolderTree(request_.OutputFolder)) {
        ShowSaveMessage(IDS_OUTPUT_WRITE_FAILED, MB_ICONINFORMATION);
        return;
    }
    for (const std::wstring& subFolder : subFolders) CreateFolderTree(subFolder);

    CProgDlg progress(&request_, plan_);
    progress.DoModal(MainWindow());

    if (progress.CancelRequested()) {
        ShowSaveMessage(IDS_COLLECT_CANCELLED, MB_ICONINFORMATION);
    } else if (progress.Outcome() != RunOutcome::Completed) {
        // The run log could not be written: nothing was collected.
        ShowSaveMessage(IDS_OUTPUT_WRITE_FAILED, MB_ICONINFORMATION);
    } else {
        request_.OutputFolder = AddTrailingBackslash(request_.OutputFolder);
        const int answer = ShowMessageBox(nullptr, LoadResourceString(IDS_COLLECT_DONE),
                                          LoadResourceString(IDS_SAVE_CAPTION), MB_YESNO | MB_ICONINFORMATION);
        if (answer == IDYES) OpenInShell(request_.OutputFolder);
    }
}

}  // namespace qx
