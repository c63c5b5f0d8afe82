#include "vorlix/vlx_console_log_page.h"

#include "pages/standard_message.h"
#include "platform/registry_values.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "settings/settings_journal.h"

#include <string_view>

namespace qx {
namespace {

constexpr std::array<int, 3> kStepControls{IDC_CONSOLE_STEP1, IDC_CONSOLE_STEP2, IDC_CONSOLE_STEP3};

struct Replacement {
    int ControlId;
    std::wstring_view From;
    std::wstring_view To;
};

// Applied in this order, each to every occurrence, case-sensitively.
constexpr std::array<Replacement, 5> kChromeReplacements{{
    {IDC_CONSOLE_STEP1, L"Edge", L"Chrome"},
    {IDC_CONSOLE_STEP1, L"edge", L"chrome"},
    {IDC_CONSOLE_STEP2, L"左", L"上"},
    {IDC_CONSOLE_STEP2, L"開発者モード", L"デベロッパーモード"},
    {IDC_CONSOLE_STEP3, L"サービスワーカー", L"Service Worker"},
}};

void ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to)
{
    for (std::wstring::size_type at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// A template step text (IDC_CONSOLE_STEP1 to IDC_CONSOLE_STEP3) as shown for Chrome.
std::wstring ChromeStepText(int controlId, std::wstring text)
{
    for (const Replacement& replacement : kChromeReplacements) {
        if (replacement.ControlId == controlId) ReplaceAll(text, replacement.From, replacement.To);
    }
    return text;
}

const ProductSettingValue& DeveloperTools(bool chrome)
{
    return Setting(chrome ? ProductSetting::ChromeDeveloperTools : ProductSetting::EdgeDeveloperTools);
}

// Where the policy that IDC_DEVTOOLS_ENABLE replaced is kept until
// IDC_DEVTOOLS_RESTORE puts it back.
const ProductSettingValue& DeveloperToolsOriginal(bool chrome)
{
    return Setting(chrome ? ProductSetting::ChromeDeveloperToolsOrg : ProductSetting::EdgeDeveloperToolsOrg);
}

}  // namespace

CVLXConsoleLogPage::CVLXConsoleLogPage() noexcept : CPage(IDD_VLXCONSOLELOG_PAGE) {}

BOOL CVLXConsoleLogPage::OnInitDialog()
{
    const BOOL result = CPage::OnInitDialog();
    for (std::size_t i = 0; i < kStepControls.size(); ++i) {
        templateSteps_[i] = WindowText(::GetDlgItem(Handle(), kStepControls[i]));
    }
    return result;
}

BOOL CVLXConsoleLogPage::OnPageActivate(int param)
{
    browserIsChrome_ = param != 0;
    WriteStepTexts();
    return CPage::OnPageActivate(param);
}

bool CVLXConsoleLogPage::OnCommand(WORD id, WORD notifyCode)
{
    switch (id) {
    case IDC_DEVTOOLS_ENABLE:
        OnEnableDeveloperTools();
        return true;
    case IDC_DEVTOOLS_RESTORE:
        OnRestoreDeveloperTools();
        return true;
    default:
        return CPage::OnCommand(id, notifyCode);
    }
}

void CVLXConsoleLogPage::OnCancel() { ShowPageById(IDD_VLXLOGSETTING_PAGE, 0); }

void CVLXConsoleLogPage::WriteStepTexts()
{
    for (std::size_t i = 0; i < kStepControls.size(); ++i) {
        const std::wstring text =
            browserIsChrome_ ? ChromeStepText(kStepControls[i], templateSteps_[i]) : templateSteps_[i];
        ::SetDlgItemTextW(Handle(), kStepControls[i], text.c_str());
    }
}

void CVLXConsoleLogPage::OnEnableDeveloperTools()
{
    const ProductSettingValue& policy = DeveloperTools(browserIsChrome_);
    const ProductSettingValue& original = DeveloperToolsOriginal(browserIsChrome_);
    // A browser without its policy key is left alone; write failures go unreported.
    UniqueHkey key;
    if (OpenSettingKey(policy, KeyPurpose::Write, key) == ERROR_SUCCESS) {
        if (!RecordBeforeChange({policy.Id, original.Id}, PageId)) {
            ShowStandardMessage(Handle(), IDS_REGISTRY_SET_FAILED, MB_ICONHAND);
            return;
        }
        // A second press must not save the tool's own 1 over the policy kept by the first.
        const std::optional<DWORD> before = QueryDwordValue(key.get(), policy.Name);
        if (before && !ValueExists(key.get(), original.Name)) SetDwordValue(key.get(), original.Name, *before);
        SetDwordValue(key.get(), policy.Name, *policy.FixedNumber);
        key.reset();
    }
    ShowStandardMessage(Handle(), IDS_DEVTOOLS_ENABLED, MB_ICONINFORMATION);
}

void CVLXConsoleLogPage::OnRestoreDeveloperTools()
{
    const ProductSettingValue& policy = DeveloperTools(browserIsChrome_);
    const ProductSettingValue& original = DeveloperToolsOriginal(browserIsChrome_);
    UniqueHkey key;
    if (OpenSettingKey(policy, KeyPurpose::Delete, key) == ERROR_SUCCESS) {
        DeleteValue(key.get(), policy.Name);
        if (const std::optional<DWORD> before = QueryDwordValue(key.get(), original.Name)) {
            SetDwordValue(key.get(), policy.Name, *before);
            DeleteValue(key.get(), original.Name);
        }
        key.reset();
        // "DeveloperToolsAvailabilityORG" has put the policy back.
        ForgetJournalled({policy.Id, original.Id});
    }
    ShowStandardMessage(Handle(), IDS_DEVTOOLS_RESTORED, MB_ICONINFORMATION);
}

}  // namespace qx
