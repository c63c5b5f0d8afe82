#include "collectors/system_info.h"

#include "collect/run_log.h"
#include "platform/registry.h"
#include "platform/registry_values.h"
#include "platform/system.h"

#include <windows.h>

#include <cwchar>
#include <iterator>
#include <optional>
#include <string_view>

namespace qx {
namespace {

constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kMaker[] = L"Orvek, Inc.";

// An entry whose text holds line feeds: the first line after the time stamp,
// each later one on a line of its own.
void AppendRunLogEntryLines(const std::wstring& runLogPath, std::wstring_view text)
{
    std::size_t end = text.find(L'\n');
    AppendRunLogEntry(runLogPath, text.substr(0, end));
    while (end != std::wstring_view::npos) {
        const std::size_t start = end + 1;
        end = text.find(L'\n', start);
        AppendRunLogLine(runLogPath, text.substr(start, end == std::wstring_view::npos ? end : end - start));
    }
}

}  // namespace

std::wstring OsVersionLine(unsigned major, unsigned minor, unsigned build)
{
    wchar_t line[80];
    if (major >= 10) {
        std::swprintf(line, std::size(line), L"\tmajor:%u, minor:%u, build:%u", major, minor, build);
    } else {
        std::swprintf(line, std::size(line), L"\tmajor:%u, minor:%u", major, minor);
    }
    return line;
}

void WriteOsVersion(const std::wstring& runLogPath)
{
    const std::optional<WindowsVersion> version = RunningWindowsVersion();
    if (!version) return;
    AppendRunLogEntry(runLogPath, L"os version:");
    AppendRunLogLine(runLogPath, OsVersionLine(version->Major, version->Minor, version->Build));
}

void WriteInstalledSoftware(const std::wstring& runLogPath)
{
    AppendRunLogEntry(runLogPath, L"install software:");
    AppendRunLogEntryLines(runLogPath, InstalledSoftwareList());
}

std::wstring InstalledSoftwareList()
{
    std::wstring list;
    for (const std::wstring& name : ListSubkeyNames(kUninstallKey)) {
        // One open for both values of the entry; an entry that cannot be
        // opened has no publisher, as each read alone would find.
        UniqueHkey entry;
        if (OpenLocalMachineKey(std::wstring(kUninstallKey) + L"\\" + name, KeyAccess::Read, entry) != ERROR_SUCCESS) {
            continue;
        }
        if (RegistryValueText(entry.get(), L"Publisher", L"").find(kMaker) == std::wstring::npos) continue;
        if (!list.empty()) list += L'\n';
        list += L'\t';
        list += RegistryValueText(entry.get(), L"DisplayName", L"");
    }
    return list;
}

}  // namespace qx
