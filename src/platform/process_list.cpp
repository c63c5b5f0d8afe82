#include "platform/processes.h"

#include "platform/handles.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

namespace qx {

void TerminateProcessesByName(const std::wstring& exeName)
{
    // A failed snapshot is INVALID_HANDLE_VALUE, the empty value of file handles.
    UniqueHandleFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    std::vector<UniqueHandleKernel> ended;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::CompareStringOrdinal(entry.szExeFile, -1, exeName.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
        UniqueHandleKernel process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && ::TerminateProcess(process.get(), 0)) ended.push_back(std::move(process));
    }
    // A process lets go of its files only once it has ended; what comes next
    // (deleting its log folder, renaming its program) needs them free. A
    // process that hangs in its ending does not hold the tool up for long.
    const ULONGLONG deadline = ::GetTickCount64() + kProcessEndWaitMilliseconds;
    for (const UniqueHandleKernel& process : ended) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        ::WaitForSingleObject(process.get(), static_cast<DWORD>(deadline - now));
    }
}

}  // namespace qx
