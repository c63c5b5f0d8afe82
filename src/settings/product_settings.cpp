#include "settings/product_settings.h"

#include "platform/registry_values.h"

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

}  // namespace qx
