#pragma once
// Facts about the running Windows.

#include <windows.h>

#include <string>

namespace qx {

// "<code>: <the system's text for it>", for the run log.
std::wstring DescribeError(DWORD code);

// Windows Vista (6.0) or later, by VerifyVersionInfoW.
bool IsVistaOrLater();

// The process runs with its administrator rights (or as SYSTEM): its token is
// elevated. False also when the token cannot be asked.
bool IsElevated();

}  // namespace qx
