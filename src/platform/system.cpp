#include "platform/system.h"

#include "platform/handles.h"

#include <iterator>
#include <string_view>

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

bool IsElevated()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    UniqueHandleKernel owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(owned.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

}  // namespace qx
