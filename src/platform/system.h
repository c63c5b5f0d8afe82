#pragma once
// Facts about the running Windows.

#include <windows.h>

#include <string>

namespace qx {

// "<code>: <the system's text for it>", for the run log.
std::wstring DescribeError(DWORD code);

// Windows Vista (6.0) or later, by VerifyVersionInfoW.
bool IsVistaOrLater();

}  // namespace qx
