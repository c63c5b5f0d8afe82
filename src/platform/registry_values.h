#pragma once
// Single values under HKEY_LOCAL_MACHINE, in the view native to this 64-bit
// process (no WOW64 flag is ever passed). A key is opened for one group of
// operations through a UniqueHkey and closed when that goes; registry calls
// report their LSTATUS, so a caller can tell which step failed.

#include "platform/handles.h"

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qx {

// How an existing key is opened: KEY_READ; KEY_READ | KEY_WRITE; KEY_ALL_ACCESS.
enum class KeyAccess { Read, ReadWrite, All };

// RegOpenKeyExW; a missing key is not created.
LSTATUS OpenLocalMachineKey(const std::wstring& path, KeyAccess access, UniqueHkey& key);

// RegCreateKeyExW with no class, non-volatile, KEY_READ | KEY_WRITE and no
// security attributes: the key is created when it is missing.
LSTATUS CreateLocalMachineKey(const std::wstring& path, UniqueHkey& key);

// A REG_SZ or REG_EXPAND_SZ value as stored (variables not expanded), up to its
// first zero character; nothing when the value is missing, has another type, or
// does not fit, with its terminating zero, a buffer of `bufferChars` characters.
std::optional<std::wstring> QueryStringValue(HKEY key, const std::wstring& name, std::size_t bufferChars);

// A REG_DWORD value; nothing when it is missing or has another type.
std::optional<DWORD> QueryDwordValue(HKEY key, const std::wstring& name);

// Whether `name` exists on `key`, of any type.
bool ValueExists(HKEY key, const std::wstring& name);

// REG_SZ of 2 x (length + 1) bytes, the terminating zero included.
LSTATUS SetStringValue(HKEY key, const std::wstring& name, const std::wstring& text);
LSTATUS SetDwordValue(HKEY key, const std::wstring& name, DWORD number);
LSTATUS DeleteValue(HKEY key, const std::wstring& name);
// `bytes` exactly, as a value of `type`.
LSTATUS SetRawValue(HKEY key, const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes);

// Deletes key `path` when it has neither values nor subkeys; ERROR_SUCCESS
// also when it does not exist. ERROR_DIR_NOT_EMPTY when something is left in it.
LSTATUS DeleteLocalMachineKeyIfEmpty(const std::wstring& path);

// Opens `path` for reading, queries one value and closes the key again.
std::optional<std::wstring> ReadLocalMachineString(const std::wstring& path, const std::wstring& name,
                                                   std::size_t bufferChars);
std::optional<DWORD> ReadLocalMachineDword(const std::wstring& path, const std::wstring& name);

}  // namespace qx
