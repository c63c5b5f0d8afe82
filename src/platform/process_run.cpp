#include "platform/handles.h"
#include "platform/processes.h"

#include <windows.h>
#include <shellapi.h>

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
