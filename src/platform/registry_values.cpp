#include "platform/registry_values.h"

#include "platform/registry.h"

#include <vector>

namespace qx {
namespace {

REGSAM AccessMask(KeyAccess access)
{
    switch (access) {
    case KeyAccess::Read:
        return KEY_READ;
    case KeyAccess::ReadWrite:
        return KEY_READ | KEY_WRITE;
    case KeyAccess::All:
        break;
    }
    return KEY_ALL_ACCESS;
}

}  // namespace

LSTATUS OpenLocalMachineKey(const std::wstring& path, KeyAccess access, UniqueHkey& key)
{
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, AccessMask(access), key.put());
}

LSTATUS CreateLocalMachineKey(const std::wstring& path, UniqueHkey& key)
{
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                             nullptr, key.put(), nullptr);
}

std::optional<std::wstring> QueryStringValue(HKEY key, const std::wstring& name, std::size_t bufferChars)
{
    const std::optional<RawValue> value = ReadRawValue(key, name);
    if (!value || (value->Type != REG_SZ && value->Type != REG_EXPAND_SZ)) return std::nullopt;
    if (value->Bytes.size() > bufferChars * sizeof(wchar_t)) return std::nullopt;
    std::wstring text = StringDataText(value->Bytes);
    if (text.size() >= bufferChars) return std::nullopt;
    return text;
}

std::optional<DWORD> QueryDwordValue(HKEY key, const std::wstring& name)
{
    DWORD type = REG_NONE;
    DWORD number = 0;
    DWORD size = sizeof(number);
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(number)) {
        return std::nullopt;
    }
    return number;
}

bool ValueExists(HKEY key, const std::wstring& name)
{
    // A value too big for no buffer at all still exists: ERROR_SUCCESS with its size.
    return ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

LSTATUS SetStringValue(HKEY key, const std::wstring& name, const std::wstring& text)
{
    return ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LSTATUS SetDwordValue(HKEY key, const std::wstring& name, DWORD number)
{
    return ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof(number));
}

LSTATUS DeleteValue(HKEY key, const std::wstring& name) { return ::RegDeleteValueW(key, name.c_str()); }

std::optional<std::wstring> ReadLocalMachineString(const std::wstring& path, const std::wstring& name,
                                                   std::size_t bufferChars)
{
    UniqueHkey key;
    if (OpenLocalMachineKey(path, KeyAccess::Read, key) != ERROR_SUCCESS) return std::nullopt;
    return QueryStringValue(key.get(), name, bufferChars);
}

std::optional<DWORD> ReadLocalMachineDword(const std::wstring& path, const std::wstring& name)
{
    UniqueHkey key;
    if (OpenLocalMachineKey(path, KeyAccess::Read, key) != ERROR_SUCCESS) return std::nullopt;
    return QueryDwordValue(key.get(), name);
}

LSTATUS SetRawValue(HKEY key, const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes)
{
    BYTE none = 0;
    return ::RegSetValueExW(key, name.c_str(), 0, type, bytes.empty() ? &none : bytes.data(),
                            static_cast<DWORD>(bytes.size()));
}

LSTATUS DeleteLocalMachineKeyIfEmpty(const std::wstring& path)
{
    UniqueHkey key;
    LSTATUS status = OpenLocalMachineKey(path, KeyAccess::Read, key);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    DWORD subkeys = 0;
    DWORD values = 0;
    status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                nullptr, nullptr, nullptr);
    key.reset();
    if (status != ERROR_SUCCESS) return status;
    // RegDeleteKeyW would also take a key that still holds values.
    if (subkeys != 0 || values != 0) return ERROR_DIR_NOT_EMPTY;
    return ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

}  // namespace qx
