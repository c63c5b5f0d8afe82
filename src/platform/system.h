#pragma once
// Facts about the running Windows.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qx {

// "<code>: <the system's text for it>", for the run log.
std::wstring DescribeError(DWORD code);

// Windows Vista (6.0) or later, by VerifyVersionInfoW.
bool IsVistaOrLater();

// The file version of the version resource of `path`, as "2.1.0.26611"; empty
// when it has none. OwnFileVersion: that of this program.
std::wstring FileVersionNumbers(const std::wstring& path);
std::wstring OwnFileVersion();

struct WindowsVersion {
    unsigned Major = 0;
    unsigned Minor = 0;
    unsigned Build = 0;
};
// As GetVersionExW tells it (the manifest declares Windows 10, so 10 and 11
// report 10.0); nothing when it does not.
std::optional<WindowsVersion> RunningWindowsVersion();

// `text` with its environment variables expanded; empty when the result would
// not fit MAX_PATH.
std::wstring ExpandedPath(const std::wstring& text);

// The folder of every user profile of the machine, as ProfileList names them,
// expanded; a profile whose folder cannot be had whole is left out.
std::vector<std::wstring> UserProfileFolders();

// The process runs with its administrator rights (or as SYSTEM): its token is
// elevated. False also when the token cannot be asked.
bool IsElevated();

}  // namespace qx
