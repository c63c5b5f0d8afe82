#include "platform/system.h"

#include <windows.h>

namespace qx {

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

}  // namespace qx
