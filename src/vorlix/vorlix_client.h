#pragma once
// What the Vorlix pages share: the client's files in its install folder, the
// autostart value that names one of them, and the restart offered afterwards.

#include <windows.h>

#include <string>

namespace qx {

inline constexpr wchar_t kVorlixExe[] = L"Vorlix.exe";
inline constexpr wchar_t kVorlixLogExe[] = L"VorlixLog.exe";
inline constexpr wchar_t kExtensionExe[] = L"vlxExtension.exe";
inline constexpr wchar_t kExtensionLogExe[] = L"vlxExtensionLog.exe";
inline constexpr wchar_t kExtensionOriginal[] = L"vlxExtension.exe.org";

// `name` in the install folder, joined with one backslash whether or not the
// stored folder ends in one; empty when the folder is no full path (drive or
// UNC) or the result would not fit MAX_PATH.
std::wstring InstallFile(const std::wstring& install, const wchar_t* name);
// Whether `name` is a file (not a folder) in the install folder.
bool InstallFileExists(const std::wstring& install, const wchar_t* name);

// Points the autostart value "Vorlix" at `exeName` in the install folder,
// quoted, once the journal holds what the value was. Reports every failure
// with its message, owned by the main window of `page`: IDS_VLX_NOT_INSTALLED
// when the client is not installed, `missingTextId` when `exeName` is not
// there, IDS_REGISTRY_OPEN_FAILED when the Run key does not open,
// IDS_REGISTRY_SET_FAILED when the journal cannot be written or the value
// cannot be set. True when the value was written.
bool PointAutostartAt(HWND page, int pageId, const wchar_t* exeName, UINT missingTextId);

}  // namespace qx
