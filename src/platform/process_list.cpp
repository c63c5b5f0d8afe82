#include "platform/processes.h"

#include "platform/handles.h"

#include <windows.h>
#include <tlhelp32.h>

namespace qx {

void TerminateProcessesByName(const std::wstring& exeName)
{
    // A failed snapshot is INVALID_HANDLE_VALUE, the empty value of file handles.
    UniqueHandleFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::CompareStringOrdinal(entry.szExeFile, -1, exeName.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
        UniqueHandleKernel process(::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (process) ::TerminateProcess(process.get(), 0);
    }
}

}  // namespace qx
