#include "settings/product_settings.h"

#include "platform/registry_values.h"
#include "platform/restart.h"
#include "platform/ui.h"
#include "resource.h"

namespace qx {
namespace {

constexpr bool RowsFollowTheirIds()
{
    for (std::size_t i = 0; i < ProductSettingValues.size(); ++i) {
        if (static_cast<std::size_t>(ProductSettingValues[i].Id) != i) return false;
    }
    return true;
}
static_assert(RowsFollowTheirIds(), "Setting() looks rows up by their id");

// A string setting, or `fallback` when it is absent, not a string, too long or empty.
std::wstring StringSettingOr(ProductSetting id, const wchar_t* fallback)
{
    const ProductSettingValue& setting = Setting(id);
    std::optional<std::wstring> text = ReadLocalMachineString(setting.Key, setting.Name, kSettingBufferChars);
    return text && !text->empty() ? *text : fallback;
}

UINT StandardMessageStyle(UINT style)
{
    if (style & MB_ICONMASK) return style;
    switch (style & MB_TYPEMASK) {
    case MB_OK:
        return style | MB_ICONEXCLAMATION;
    case MB_YESNO:
        return style | MB_ICONQUESTION;
    default:
        return style;
    }
}

}  // namespace

LSTATUS OpenSettingKey(const ProductSettingValue& setting, KeyPurpose purpose, UniqueHkey& key)
{
    if (purpose == KeyPurpose::Read) return OpenLocalMachineKey(setting.Key, KeyAccess::Read, key);
    switch (setting.Rule) {
    case SettingKeyRule::Product:
        if (purpose == KeyPurpose::Write) return CreateLocalMachineKey(setting.Key, key);
        return OpenLocalMachineKey(setting.Key, KeyAccess::ReadWrite, key);
    case SettingKeyRule::Existing:
        return OpenLocalMachineKey(setting.Key, KeyAccess::ReadWrite, key);
    case SettingKeyRule::Policy:
        return OpenLocalMachineKey(setting.Key, KeyAccess::All, key);
    case SettingKeyRule::ReadOnly:
        break;
    }
    key.reset();
    return ERROR_ACCESS_DENIED;
}

std::wstring DebugLogFolder() { return StringSettingOr(ProductSetting::LogPath, kDefaultDebugLogFolder); }

std::wstring VorlixInstallFolder() { return StringSettingOr(ProductSetting::VorlixInstall, L""); }

int ShowStandardMessage(HWND window, UINT textId, UINT style)
{
    return ShowStandardMessageText(window, LoadResourceString(textId), style);
}

int ShowStandardMessageText(HWND window, const std::wstring& text, UINT style)
{
    HWND owner = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
    return ShowMessageBox(owner, text, ProgramName(), StandardMessageStyle(style));
}

void OfferRestart(HWND page)
{
    if (ShowStandardMessage(page, IDS_REGISTRY_SET_RESTART, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        RestartComputer(::GetAncestor(page, GA_ROOT));
    }
}

}  // namespace qx
