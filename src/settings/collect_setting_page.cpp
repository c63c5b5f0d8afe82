#include "settings/collect_setting_page.h"

#include "pages/standard_message.h"
#include "platform/files.h"
#include "platform/registry_values.h"
#include "platform/ui.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "settings/settings_journal.h"

#include <initializer_list>
#include <optional>

namespace qx {

const std::array<RotationPeriod, 5> RotationPeriods{{
    {IDS_ROTATION_2D, 2},
    {IDS_ROTATION_7D, 7},
    {IDS_ROTATION_30D, 30},
    {IDS_ROTATION_60D, 60},
    {IDS_ROTATION_ALL, 0},
}};

namespace {

constexpr int kDefaultRotationIndex = 1;

DWORD FixedNumber(ProductSetting id) { return Setting(id).FixedNumber.value_or(0); }

// The string-table format "%s <REG_DWORD> %d" filled in.
std::wstring DwordSettingText(UINT formatId, ProductSetting id, DWORD number)
{
    wchar_t text[1024] = {};
    ::wsprintfW(text, LoadResourceString(formatId).c_str(), Setting(id).Name, static_cast<int>(number));
    return text;
}

struct ValueWrite {
    ProductSetting Id;
    // The data of a REG_SZ value; a REG_DWORD value takes `Number`.
    std::wstring Text;
    DWORD Number = 0;
};

// One step of Apply: the values of one key, each set only when the one
// before it was.
bool WriteStep(std::initializer_list<ValueWrite> writes)
{
    UniqueHkey key;
    if (OpenSettingKey(Setting(writes.begin()->Id), KeyPurpose::Write, key) != ERROR_SUCCESS) return false;
    for (const ValueWrite& write : writes) {
        const ProductSettingValue& setting = Setting(write.Id);
        const LSTATUS status = setting.Type == REG_SZ ? SetStringValue(key.get(), setting.Name, write.Text)
                                                      : SetDwordValue(key.get(), setting.Name, write.Number);
        if (status != ERROR_SUCCESS) return false;
    }
    return true;
}

bool IsDriveRoot(const std::wstring& path) { return path.size() == 3 && path[1] == L':'; }

}  // namespace

int RotationIndexOf(DWORD logDays)
{
    for (std::size_t i = 0; i < RotationPeriods.size(); ++i) {
        if (RotationPeriods[i].LogDays == logDays) return static_cast<int>(i);
    }
    return kDefaultRotationIndex;
}

DWORD RotationDaysAt(int index)
{
    const bool listed = index >= 0 && index < static_cast<int>(RotationPeriods.size());
    return RotationPeriods[static_cast<std::size_t>(listed ? index : kDefaultRotationIndex)].LogDays;
}

DebugLogSettingTexts DebugLogSettingTexts::Shown(DWORD logLevel, DWORD logType, DWORD dumpType)
{
    return {DebugLogFolder(), DwordSettingText(IDS_LOGLEVEL_FORMAT, ProductSetting::LogLevel, logLevel),
            DwordSettingText(IDS_LOGTYPE_FORMAT, ProductSetting::LogType, logType),
            DwordSettingText(IDS_DUMPTYPE_FORMAT, ProductSetting::DumpType, dumpType)};
}

void DebugLogSettingTexts::WriteToControls(HWND page) const
{
    ::SetDlgItemTextW(page, IDC_LOGFOLDER, Folder.c_str());
    ::SetDlgItemTextW(page, IDC_LOGLEVEL_TEXT, LogLevelText.c_str());
    ::SetDlgItemTextW(page, IDC_LOGTYPE_TEXT, LogTypeText.c_str());
    ::SetDlgItemTextW(page, IDC_DUMPTYPE_TEXT, DumpTypeText.c_str());
}

void DebugLogSettingTexts::ReadFromControls(HWND page)
{
    Folder = WindowText(::GetDlgItem(page, IDC_LOGFOLDER));
    LogLevelText = WindowText(::GetDlgItem(page, IDC_LOGLEVEL_TEXT));
    LogTypeText = WindowText(::GetDlgItem(page, IDC_LOGTYPE_TEXT));
    DumpTypeText = WindowText(::GetDlgItem(page, IDC_DUMPTYPE_TEXT));
}

CCollectSettingPage::CCollectSettingPage() noexcept : CPage(IDD_COLLECTSETTING_PAGE) {}

BOOL CCollectSettingPage::OnInitDialog()
{
    CPage::OnInitDialog();
    for (const RotationPeriod& period : RotationPeriods) {
        ::SendDlgItemMessageW(Handle(), IDC_ROTATION, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(LoadResourceString(period.TextId).c_str()));
    }
    return TRUE;
}

BOOL CCollectSettingPage::OnPageActivate(int param)
{
    // The numbers Apply will write.
    shown_ = DebugLogSettingTexts::Shown(FixedNumber(ProductSetting::LogLevel), FixedNumber(ProductSetting::LogType),
                                         FixedNumber(ProductSetting::DumpType));
    rotationIndex_ = kDefaultRotationIndex;
    const ProductSettingValue& logDays = Setting(ProductSetting::LogDays);
    UniqueHkey key;
    if (OpenSettingKey(logDays, KeyPurpose::Read, key) == ERROR_SUCCESS) {
        if (const std::optional<DWORD> days = QueryDwordValue(key.get(), logDays.Name)) {
            rotationIndex_ = RotationIndexOf(*days);
        }
    }
    key.reset();
    WriteFieldsToControls();
    return CPage::OnPageActivate(param);
}

bool CCollectSettingPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_PICK_LOGFOLDER:
        OnPickFolder();
        return true;
    case IDC_APPLY:
        OnApply();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CCollectSettingPage::OnCancel() { ShowPageById(IDD_LOGSETTING_PAGE, 0); }

void CCollectSettingPage::WriteFieldsToControls() const
{
    shown_.WriteToControls(Handle());
    ::SendDlgItemMessageW(Handle(), IDC_ROTATION, CB_SETCURSEL, static_cast<WPARAM>(rotationIndex_), 0);
}

void CCollectSettingPage::ReadControlsIntoFields()
{
    shown_.ReadFromControls(Handle());
    rotationIndex_ = static_cast<int>(::SendDlgItemMessageW(Handle(), IDC_ROTATION, CB_GETCURSEL, 0, 0));
}

void CCollectSettingPage::OnPickFolder()
{
    ReadControlsIntoFields();
    std::wstring chosen;
    if (!PickFolder(MainWindow(), LoadResourceString(IDS_PICK_FOLDER_TITLE), chosen)) return;
    if (IsDriveRoot(chosen)) {
        ShowStandardMessage(Handle(), IDS_ROOT_NOT_ALLOWED, MB_ICONEXCLAMATION);
    } else {
        shown_.Folder = chosen;
    }
    WriteFieldsToControls();
}

bool CCollectSettingPage::WriteSettings() const
{
    const std::wstring& folder = shown_.Folder;
    return WriteStep({{ProductSetting::LogPath, folder}}) &&
           WriteStep({{ProductSetting::LogLevel, {}, FixedNumber(ProductSetting::LogLevel)},
                      {ProductSetting::LogType, {}, FixedNumber(ProductSetting::LogType)}}) &&
           WriteStep({{ProductSetting::DumpType, {}, FixedNumber(ProductSetting::DumpType)},
                      {ProductSetting::DumpFolder, folder}}) &&
           WriteStep({{ProductSetting::LogDays, {}, RotationDaysAt(rotationIndex_)}});
}

void CCollectSettingPage::OnApply()
{
    ReadControlsIntoFields();
    // What was there before is recorded first, so that switching off can put it back.
    if (!RecordBeforeChange({ProductSetting::LogPath, ProductSetting::LogLevel, ProductSetting::LogType,
                             ProductSetting::LogDays, ProductSetting::DumpType, ProductSetting::DumpFolder},
                            IDD_COLLECTSETTING_PAGE) ||
        !WriteSettings()) {
        ShowStandardMessage(Handle(), IDS_REGISTRY_SET_FAILED, MB_ICONHAND);
        return;
    }
    if (!CreateFolderTree(shown_.Folder)) {
        // The values stay written; without the folder no restart is offered.
        ShowOutputWriteFailed();
        return;
    }
    OfferRestart(MainWindow());
    ShowPageById(IDD_LOGSETTING_PAGE, 0);
}

}  // namespace qx
