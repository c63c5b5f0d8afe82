#pragma once
// Readers of the registry under HKEY_LOCAL_MACHINE, in the view native to this
// 64-bit process (no WOW64 flag; the 32-bit view is reached through the literal
// "Wow6432Node" path). The readers that take a path open the key anew and
// close it before they return; nothing is cached. Those that take an open key
// serve a caller that reads many values of one key, where a key opened once
// saves a round trip to the registry for every value; such a key is opened with
// OpenLocalMachineKey (platform/registry_values.h) for reading.

#include "platform/handles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qx {

// The names of the subkeys of `keyPath`, in the order the registry enumerates
// them; empty when the key cannot be opened. A name that cannot be read is left out.
std::vector<std::wstring> ListSubkeyNames(const std::wstring& keyPath);

// The names of the values of `keyPath`, the unnamed default value as the empty
// name, in the order the registry enumerates them; empty when the key cannot be opened.
std::vector<std::wstring> ListValueNames(const std::wstring& keyPath);

// A value as text: REG_SZ as stored, up to its first zero character (all of it
// when there is none); REG_BINARY as upper-case hex digits, two per byte, no
// separator; REG_DWORD as a signed decimal number. Any other type, a value that
// cannot be read or a key that cannot be opened gives `defaultText`.
std::wstring RegistryValueText(const std::wstring& keyPath, const std::wstring& valueName,
                               const std::wstring& defaultText);

// A value's type and exact data.
struct RawValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Bytes;
    bool operator==(const RawValue&) const = default;
};
// Nothing when the value is missing or cannot be read.
std::optional<RawValue> ReadRawValue(HKEY key, const std::wstring& name);

// The characters of string data up to the first zero, or all of them when the
// data holds none; an odd last byte is half a character and not part of the text.
std::wstring StringDataText(const std::vector<BYTE>& bytes);

// The same readers on a key that the caller has opened and keeps open.
std::vector<std::wstring> ListSubkeyNames(HKEY key);
std::vector<std::wstring> ListValueNames(HKEY key);
std::wstring RegistryValueText(HKEY key, const std::wstring& valueName, const std::wstring& defaultText);

}  // namespace qx
