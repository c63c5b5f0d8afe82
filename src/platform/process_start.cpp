#include "platform/processes.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

namespace qx {

bool StartProgram(const std::wstring& program)
{
    // A bare or relative name would be searched for, and whatever the search
    // found first would run with the tool's rights.
    if (program.empty() || ::PathIsRelativeW(program.c_str()) || (program[0] == L'\\' && program[1] != L'\\')) {
        return false;
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The caller reports a failed start itself; the shell's own error box would be a second one.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = program.c_str();
    info.lpParameters = L"";
    info.nShow = SW_SHOWNORMAL;
    // hInstApp is 32 or less when the shell could not start the program even
    // though the call itself reported success.
    return ::ShellExecuteExW(&info) && reinterpret_cast<INT_PTR>(info.hInstApp) > 32;
}

}  // namespace qx
