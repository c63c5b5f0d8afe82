#pragma once
// Facts about the machine at the head of every collection run: the Windows
// version and the maker's installed software.

#include <string>

namespace qx {

// The run-log entry "os version:" and a line with the version numbers; nothing
// when Windows does not tell its version.
void WriteOsVersion(const std::wstring& runLogPath);

// The line of the version numbers: a tab, then "major:%d, minor:%d" and, from
// Windows 10 on, ", build:%d".
std::wstring OsVersionLine(unsigned major, unsigned minor, unsigned build);

// The run-log entry "install software:" and an entry holding InstalledSoftwareList().
void WriteInstalledSoftware(const std::wstring& runLogPath);

// One item per uninstall entry of the native view whose Publisher contains
// "Orvek, Inc." (case counts), in the order the registry enumerates them: a tab
// and the DisplayName. Items are separated by single line feeds; empty when
// nothing matches.
std::wstring InstalledSoftwareList();

}  // namespace qx
