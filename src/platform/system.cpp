#include "platform/system.h"

#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/registry_values.h"

#include <cwchar>
#include <iterator>
#include <string_view>
#include <vector>

namespace qx {

std::wstring DescribeError(DWORD code)
{
    std::wstring text = std::to_wstring(code) + L":";
    wchar_t message[512] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          code, 0, message, static_cast<DWORD>(std::size(message)), nullptr);
    std::wstring_view system(message, length < std::size(message) ? length : 0);
    // The system's text ends with its own line break.
    while (!system.empty() && (system.back() == L'\n' || system.back() == L'\r' || system.back() == L' '))
        system.remove_suffix(1);
    if (!system.empty()) text += L" " + std::wstring(system);
    return text;
}

bool IsVistaOrLater()
{
    static_assert(sizeof(OSVERSIONINFOEXW) == 284);
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof(wanted);
    wanted.dwMajorVersion = 6;
    wanted.dwMinorVersion = 0;
    wanted.wServicePackMajor = 0;
    wanted.wServicePackMinor = 0;

    DWORDLONG conditions = 0;
    conditions = ::VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = ::VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, conditions) !=
           FALSE;
}

std::wstring FileVersionNumbers(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
        infoSize < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    wchar_t text[64];
    std::swprintf(text, std::size(text), L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                  HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

std::wstring OwnFileVersion()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A path cut off at the buffer's end names some other file.
    if (length == 0 || length >= MAX_PATH) return {};
    return FileVersionNumbers(path);
}

std::optional<WindowsVersion> RunningWindowsVersion()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExW(&version)) return std::nullopt;
    return WindowsVersion{version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber};
}

std::wstring ExpandedPath(const std::wstring& text)
{
    wchar_t expanded[MAX_PATH] = {};
    const DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), expanded, MAX_PATH);
    return length > 0 && length <= MAX_PATH ? std::wstring(expanded) : std::wstring();
}

std::vector<std::wstring> UserProfileFolders()
{
    static constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    std::vector<std::wstring> folders;
    for (const std::wstring& sid : ListSubkeyNames(kProfileList)) {
        // Read, then expanded: RegGetValueW with RRF_RT_REG_EXPAND_SZ and no
        // RRF_NOEXPAND fails with ERROR_INVALID_PARAMETER on Wine and on older Windows.
        const std::optional<std::wstring> stored =
            ReadLocalMachineString(std::wstring(kProfileList) + L"\\" + sid, L"ProfileImagePath", MAX_PATH);
        if (!stored || stored->empty()) continue;
        std::wstring folder = ExpandedPath(*stored);
        if (!folder.empty()) folders.push_back(std::move(folder));
    }
    return folders;
}

bool IsElevated()
{
    UniqueHandleKernel token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

}  // namespace qx
