#include "platform/registry.h"

#include "platform/handles.h"
#include "platform/registry_values.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

namespace qx {
namespace {

// The export's reader predates RawValue and keeps its own field names.
struct ValueData {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// The whole data of a value whose type and size `wanted` accepts, read into a
// buffer of its real size, so that nothing past the data is ever used. The
// value may change between the size query and the read: the read is tried
// again, a few times, while it reports more data.
std::optional<ValueData> ReadValue(HKEY key, const std::wstring& name,
                                   const std::function<bool(DWORD type, DWORD size)>& wanted)
{
    ValueData value;
    // Most values fit a small buffer: they are read in one query, and only a
    // larger one is asked for its size first.
    BYTE small[512];
    DWORD size = sizeof(small);
    const LSTATUS first = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, small, &size);
    if (first == ERROR_SUCCESS) {
        if (!wanted(value.type, size)) return std::nullopt;
        value.bytes.assign(small, small + size);
        return value;
    }
    if (first != ERROR_MORE_DATA) return std::nullopt;
    for (int attempt = 0; attempt < 4 && wanted(value.type, size); ++attempt) {
        value.bytes.resize(size);
        // Never a null buffer: that would ask for the size only, even of a
        // value that has grown from empty since.
        BYTE spare = 0;
        BYTE* data = value.bytes.empty() ? &spare : value.bytes.data();
        DWORD got = size;
        const LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, data, &got);
        if (status == ERROR_SUCCESS) {
            value.bytes.resize(got);
            if (!wanted(value.type, got)) return std::nullopt;
            return value;
        }
        if (status != ERROR_MORE_DATA) return std::nullopt;
        size = got;
    }
    return std::nullopt;
}

std::wstring HexText(const std::vector<BYTE>& bytes)
{
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(bytes.size() * 2);
    for (BYTE byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

enum class Names { Subkeys, Values };

std::vector<std::wstring> ListNames(HKEY key, Names which)
{
    DWORD subkeys = 0;
    DWORD longestSubkey = 0;
    DWORD values = 0;
    DWORD longestValue = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                           &longestValue, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return {};
    }
    const DWORD count = which == Names::Subkeys ? subkeys : values;
    if (count == 0) return {};

    std::vector<wchar_t> buffer((which == Names::Subkeys ? longestSubkey : longestValue) + 1);
    std::vector<std::wstring> names;
    names.reserve(count);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LSTATUS status =
            which == Names::Subkeys
                ? ::RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr)
                : ::RegEnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            names.emplace_back(buffer.data(), length);
        } else if (status != ERROR_MORE_DATA) {
            // The end, or a key that went away: every further index would fail
            // the same way. A name that grew past the buffer is skipped.
            break;
        }
    }
    return names;
}

}  // namespace

std::wstring StringDataText(const std::vector<BYTE>& bytes)
{
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    if (const std::size_t zero = text.find(L'\0'); zero != std::wstring::npos) text.resize(zero);
    return text;
}

std::optional<RawValue> ReadRawValue(HKEY key, const std::wstring& name)
{
    std::optional<ValueData> value = ReadValue(key, name, [](DWORD, DWORD) { return true; });
    if (!value) return std::nullopt;
    return RawValue{value->type, std::move(value->bytes)};
}

std::vector<std::wstring> ListSubkeyNames(HKEY key) { return ListNames(key, Names::Subkeys); }

std::vector<std::wstring> ListValueNames(HKEY key) { return ListNames(key, Names::Values); }

std::wstring RegistryValueText(HKEY key, const std::wstring& valueName, const std::wstring& defaultText)
{
    const std::optional<ValueData> value = ReadValue(key, valueName, [](DWORD type, DWORD) {
        return type == REG_SZ || type == REG_BINARY || type == REG_DWORD;
    });
    if (!value) return defaultText;

    switch (value->type) {
    case REG_SZ:
        return StringDataText(value->bytes);
    case REG_BINARY:
        return HexText(value->bytes);
    default: {
        // REG_DWORD: exactly four bytes, or it is not a number.
        std::int32_t number = 0;
        if (value->bytes.size() != sizeof(number)) return defaultText;
        std::memcpy(&number, value->bytes.data(), sizeof(number));
        return std::to_wstring(number);
    }
    }
}

std::vector<std::wstring> ListSubkeyNames(const std::wstring& keyPath)
{
    UniqueHkey key;
    if (OpenLocalMachineKey(keyPath, KeyAccess::Read, key) != ERROR_SUCCESS) return {};
    return ListSubkeyNames(key.get());
}

std::vector<std::wstring> ListValueNames(const std::wstring& keyPath)
{
    UniqueHkey key;
    if (OpenLocalMachineKey(keyPath, KeyAccess::Read, key) != ERROR_SUCCESS) return {};
    return ListValueNames(key.get());
}

std::wstring RegistryValueText(const std::wstring& keyPath, const std::wstring& valueName,
                               const std::wstring& defaultText)
{
    UniqueHkey key;
    if (OpenLocalMachineKey(keyPath, KeyAccess::Read, key) != ERROR_SUCCESS) return defaultText;
    return RegistryValueText(key.get(), valueName, defaultText);
}

}  // namespace qx
