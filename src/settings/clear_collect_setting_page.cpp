#include "settings/clear_collect_setting_page.h"

#include "pages/standard_message.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry_values.h"
#include "platform/restart.h"
#include "platform/ui.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "settings/settings_journal.h"

#include <array>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace qx {
namespace {

// Each number as stored when it is a REG_DWORD, else the number the setting
// page writes. All of them lie under one key, opened once.
std::vector<DWORD> ReadShownNumbers(std::initializer_list<ProductSetting> ids)
{
    std::vector<DWORD> numbers;
    UniqueHkey key;
    const bool opened = OpenSettingKey(Setting(*ids.begin()), KeyPurpose::Read, key) == ERROR_SUCCESS;
    for (ProductSetting id : ids) {
        const ProductSettingValue& setting = Setting(id);
        std::optional<DWORD> stored;
        if (opened) stored = QueryDwordValue(key.get(), setting.Name);
        numbers.push_back(stored.value_or(setting.FixedNumber.value_or(0)));
    }
    return numbers;
}

// Puts back, in the order given, what the journal recorded of the values of
// one key, and deletes those it holds nothing of; a key that does not open and
// values that are absent are passed over. False when a recorded value could
// not be put back.
bool RestoreValues(std::initializer_list<ProductSetting> ids)
{
    bool restored = true;
    for (ProductSetting id : ids) {
        const RestoreOutcome outcome = RestoreFromJournal(id);
        restored = restored && outcome != RestoreOutcome::Failed;
        if (outcome != RestoreOutcome::NotJournalled) continue;
        UniqueHkey key;
        if (OpenSettingKey(Setting(id), KeyPurpose::Delete, key) == ERROR_SUCCESS) DeleteValue(key.get(), Setting(id).Name);
    }
    return restored;
}

constexpr std::initializer_list<ProductSetting> kProductValues{ProductSetting::LogPath, ProductSetting::LogDays,
                                                               ProductSetting::LogLevel, ProductSetting::LogType};
constexpr std::initializer_list<ProductSetting> kDumpValues{ProductSetting::DumpType, ProductSetting::DumpFolder};

// When the earliest record of these values was made, to the minute; empty
// when the journal holds none of them.
std::wstring EarliestRecord()
{
    std::wstring earliest;
    for (const auto& group : {kProductValues, kDumpValues}) {
        for (ProductSetting id : group) {
            const std::optional<JournalEntry> entry = JournalEntryOf(id);
            if (entry && (earliest.empty() || entry->Recorded < earliest)) earliest = entry->Recorded;
        }
    }
    return earliest.substr(0, 16);
}

// The message for a folder that is not deleted: the folder and why.
std::wstring RefusalText(const std::wstring& folder, FolderRefusal refusal)
{
    static constexpr std::array<std::pair<FolderRefusal, UINT>, 8> kReasons{{
        {FolderRefusal::NotFullPath, IDS_REFUSED_NOT_FULL_PATH},
        {FolderRefusal::DriveRoot, IDS_REFUSED_DRIVE_ROOT},
        {FolderRefusal::NetworkOrDevice, IDS_REFUSED_NETWORK_OR_DEVICE},
        {FolderRefusal::UnexpandedVariable, IDS_REFUSED_VARIABLE},
        {FolderRefusal::InvalidCharacter, IDS_REFUSED_CHARACTER},
        {FolderRefusal::TooLong, IDS_REFUSED_TOO_LONG},
        {FolderRefusal::WindowsFolder, IDS_REFUSED_WINDOWS_FOLDER},
        {FolderRefusal::Link, IDS_REFUSED_LINK},
    }};
    std::wstring reason;
    for (const auto& [kind, textId] : kReasons) {
        if (kind == refusal) reason = LoadResourceString(textId);
    }
    return FormatResourceString(IDS_LOGFOLDER_REFUSED, {folder, reason});
}

}  // namespace

CClearCollectSettingPage::CClearCollectSettingPage() noexcept : CPage(IDD_CLEARCOLLECTSETTING_PAGE) {}

BOOL CClearCollectSettingPage::OnPageActivate(int param)
{
    const std::vector<DWORD> product = ReadShownNumbers({ProductSetting::LogLevel, ProductSetting::LogType});
    const std::vector<DWORD> dumps = ReadShownNumbers({ProductSetting::DumpType});
    shown_ = DebugLogSettingTexts::Shown(product[0], product[1], dumps[0]);
    shown_.WriteToControls(Handle());
    const std::wstring recorded = EarliestRecord();
    const std::wstring note = recorded.empty() ? L"" : FormatResourceString(IDS_JOURNAL_RESTORE_NOTE, recorded);
    ::SetDlgItemTextW(Handle(), IDC_JOURNAL_NOTE, note.c_str());
    return CPage::OnPageActivate(param);
}

bool CClearCollectSettingPage::OnCommand(WORD id, WORD notifyCode)
{
    if (id == IDC_APPLY) {
        OnApply();
        return true;
    }
    return CPage::OnCommand(id, notifyCode);
}

void CClearCollectSettingPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

void CClearCollectSettingPage::OnApply()
{
    shown_.ReadFromControls(Handle());
    if (ShowStandardMessage(Handle(), IDS_CLEAR_CONFIRM, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    const bool productRestored = RestoreValues(kProductValues);
    if (!RestoreValues(kDumpValues) || !productRestored) {
        // What could not be put back keeps its record for the next try.
        ShowStandardMessage(Handle(), IDS_REGISTRY_SET_FAILED, MB_ICONHAND);
        return;
    }

    if (ShowStandardMessage(Handle(), IDS_CLEAR_RESTART, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ShowPageById(IDD_LOGSETTING_PAGE, 0);
        return;
    }
    // The programs hold their log files open; they go before the folder does.
    for (const wchar_t* name : ProductProcessNames) TerminateProcessesByName(name);
    if (::IsDlgButtonChecked(Handle(), IDC_DELETE_LOGFOLDER) == BST_CHECKED && !DeleteLogFolder()) return;
    // A refused restart goes unreported; the page change follows anyway.
    RestartComputer(MainWindow());
    ShowPageById(IDD_LOGSETTING_PAGE, 0);
}

bool CClearCollectSettingPage::DeleteLogFolder()
{
    // Whatever the registry named, the tool deletes only what can be a log folder.
    if (const FolderRefusal refusal = FolderTreeDeletionRefusal(shown_.Folder); refusal != FolderRefusal::None) {
        ShowStandardMessageText(Handle(), RefusalText(shown_.Folder, refusal), MB_ICONEXCLAMATION);
        return false;
    }
    if (!DeleteFolderTree(shown_.Folder)) {
        ShowStandardMessage(Handle(), IDS_LOGFOLDER_DELETE_FAILED, MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

}  // namespace qx
