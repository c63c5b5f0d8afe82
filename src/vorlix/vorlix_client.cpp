#include "vorlix/vorlix_client.h"

#include "pages/standard_message.h"
#include "platform/files.h"
#include "platform/registry_values.h"
#include "resource.h"
#include "settings/product_settings.h"
#include "settings/settings_journal.h"

namespace qx {

std::wstring InstallFile(const std::wstring& install, const wchar_t* name)
{
    // A relative folder would be looked up from wherever the tool was started.
    const bool full = (install.size() >= 3 && install[1] == L':' && install[2] == L'\\') ||
                      (install.size() >= 3 && install[0] == L'\\' && install[1] == L'\\');
    return full ? JoinPath(install, name) : std::wstring();
}

bool InstallFileExists(const std::wstring& install, const wchar_t* name)
{
    const std::wstring file = InstallFile(install, name);
    const DWORD attributes = file.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PointAutostartAt(HWND page, int pageId, const wchar_t* exeName, UINT missingTextId)
{
    const std::wstring install = VorlixInstallFolder();
    if (install.empty()) {
        ShowStandardMessage(page, IDS_VLX_NOT_INSTALLED, MB_OK);
        return false;
    }
    if (!InstallFileExists(install, exeName)) {
        ShowStandardMessage(page, missingTextId, MB_OK);
        return false;
    }
    // The quotes keep a folder with blanks one program path for Windows.
    const std::wstring data = L"\"" + InstallFile(install, exeName) + L"\"";

    const ProductSettingValue& run = Setting(ProductSetting::VorlixRun);
    UniqueHkey key;
    if (OpenSettingKey(run, KeyPurpose::Write, key) != ERROR_SUCCESS) {
        ShowStandardMessage(page, IDS_REGISTRY_OPEN_FAILED, MB_ICONHAND);
        return false;
    }
    if (!RecordBeforeChange({ProductSetting::VorlixRun}, pageId)) {
        ShowStandardMessage(page, IDS_REGISTRY_SET_FAILED, MB_ICONHAND);
        return false;
    }
    const LSTATUS written = SetStringValue(key.get(), run.Name, data);
    key.reset();
    if (written != ERROR_SUCCESS) {
        ShowStandardMessage(page, IDS_REGISTRY_SET_FAILED, MB_ICONHAND);
        return false;
    }
    return true;
}

}  // namespace qx
