#pragma once
// Stand-in processes for tests: a copy of a program under the name a test
// needs, started without a window, and checks of how it ended.

#include "platform/handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace qx::test {

// Starts the program `exe` where it lies, without a window, with `arguments`
// after its quoted name; the process, or an empty handle when it could not be
// started.
inline UniqueHandleKernel StartStandIn(const std::wstring& exe, const std::wstring& arguments = L"")
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    EXPECT_TRUE(::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                 nullptr, &startup, &started))
        << ::GetLastError();
    const UniqueHandleKernel thread(started.hThread);
    return UniqueHandleKernel(started.hProcess);
}

// Copies `program` to `exe` (replacing an older copy) and starts that copy; the
// process, or an empty handle when it could not be started.
inline UniqueHandleKernel StartCopyOf(const std::wstring& program, const std::wstring& exe)
{
    EXPECT_TRUE(::CopyFileW(program.c_str(), exe.c_str(), FALSE)) << ::GetLastError();
    return StartStandIn(exe);
}

// Whether the process ended with exit code 0 (as TerminateProcess by the tool
// leaves it) within a few seconds.
inline bool EndedWithCodeZero(HANDLE process)
{
    DWORD code = 1;
    return ::WaitForSingleObject(process, 5000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process, &code) && code == 0;
}

inline bool StillRunning(HANDLE process) { return ::WaitForSingleObject(process, 300) == WAIT_TIMEOUT; }

// Processes that a test started, ended (exit code 99) when it is done with
// them, whichever of them are still running then.
class StartedProcesses {
public:
    StartedProcesses() = default;
    ~StartedProcesses()
    {
        for (const UniqueHandleKernel& process : processes_) ::TerminateProcess(process.get(), 99);
        for (const UniqueHandleKernel& process : processes_) ::WaitForSingleObject(process.get(), 5000);
    }
    StartedProcesses(const StartedProcesses&) = delete;
    StartedProcesses& operator=(const StartedProcesses&) = delete;

    // Keeps `process`; its handle, which lives as long as this object.
    HANDLE Add(UniqueHandleKernel process)
    {
        processes_.push_back(std::move(process));
        return processes_.back().get();
    }

private:
    std::vector<UniqueHandleKernel> processes_;
};

}  // namespace qx::test
