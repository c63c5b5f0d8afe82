#pragma once
// Text for a console program's standard output and error: wide text to a
// console, and in the console's code page (the OEM one without a console) to a
// pipe or a file, as PowerShell and cmd read a program's output.

#include <windows.h>

#include <string_view>

namespace qx {

// Writes `text` and a line break to STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
void WriteConsoleLine(DWORD standardHandle, std::wstring_view text);

}  // namespace qx
