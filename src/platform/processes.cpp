#include "platform/processes.h"

#include "platform/handles.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <vector>

namespace qx {
namespace {

// Short enough that a confirmed Cancel ends the program at once.
constexpr DWORD kWaitSlice = 100;
// A terminated process ends as soon as the system has closed what it held.
constexpr DWORD kTerminationWait = 10000;

DWORD Terminate(HANDLE process)
{
    if (!::TerminateProcess(process, ERROR_CANCELLED)) {
        const DWORD error = ::GetLastError();
        // It may have ended by itself in the meantime.
        if (::WaitForSingleObject(process, 0) != WAIT_OBJECT_0) return error;
    }
    if (::WaitForSingleObject(process, kTerminationWait) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
    return 0;
}

}  // namespace

bool OpenInShell(const std::wstring& path)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

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

RunResult RunHiddenUntil(const std::wstring& program, const std::wstring& parameters, DWORD limitMs,
                         const std::function<bool()>& stop)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    const BOOL executed = ::ShellExecuteExW(&info);
    const DWORD startError = executed ? 0 : ::GetLastError();
    const UniqueHandleKernel process(info.hProcess);
    if (!executed) return {RunEnd::NotStarted, startError};
    if (reinterpret_cast<INT_PTR>(info.hInstApp) <= 32) {
        return {RunEnd::NotStarted, static_cast<DWORD>(reinterpret_cast<INT_PTR>(info.hInstApp))};
    }
    // No process handle when the shell handed the start to a running program.
    if (!process) return {RunEnd::Ended, 0};

    const ULONGLONG started = ::GetTickCount64();
    for (;;) {
        const DWORD waited = ::WaitForSingleObject(process.get(), kWaitSlice);
        if (waited == WAIT_OBJECT_0) return {RunEnd::Ended, 0};
        if (waited == WAIT_FAILED) return {RunEnd::Ended, ::GetLastError()};
        if (stop()) return {RunEnd::Stopped, Terminate(process.get())};
        if (::GetTickCount64() - started >= limitMs) return {RunEnd::TimedOut, Terminate(process.get())};
    }
}

}  // namespace qx
