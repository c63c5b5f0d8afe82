#pragma once
// qxcollect.exe: the collection of the collection page without a desktop, for
// remote tools that run a command, often as SYSTEM. It asks nothing, writes its
// progress to stderr and the folder or archive it made to stdout, and tells
// the outcome by its exit code.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qx {

enum UnattendedExit : int {
    kExitComplete = 0,
    kExitCompletedWithFailures = 1,
    kExitUsage = 2,
    kExitNotElevatedOrNotWritable = 3,
    kExitCancelled = 4,
};

// Ctrl+C and Ctrl+Break are the user's confirmed Cancel. Windows runs it on a
// thread of its own; the cancel flag is all it shares with the run.
BOOL WINAPI OnConsoleControl(DWORD event);

// Tests only: told of every step as it starts, on the run's thread.
struct UnattendedSeams {
    std::function<void(const std::wstring& stepTitle)> stepStarted;
};

// `arguments` without the program's own name.
int RunUnattended(const std::vector<std::wstring>& arguments, const UnattendedSeams& seams = {});

}  // namespace qx
