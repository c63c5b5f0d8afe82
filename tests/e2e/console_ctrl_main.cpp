// qxcollect.exe as the end-to-end tests run it to press Ctrl+C or Ctrl+Break:
// the whole program, except that the console event comes from here instead of
// a console, which Wine does not give a process started without one. When the
// step counted by the environment variable kCtrlAtStepVariable (1 for the
// first) starts, its console handler is called with the event that
// kCtrlEventVariable names ("c" or "break") on a thread of its own, as
// Windows calls it. Without the variables it runs as qxcollect.exe does.

#include "driver.h"
#include "qxcollect/unattended_run.h"

#include <windows.h>

#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[32] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return length > 0 && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring atStep = Variable(qx::e2e::kCtrlAtStepVariable);
    const DWORD event = Variable(qx::e2e::kCtrlEventVariable) == L"break" ? CTRL_BREAK_EVENT : CTRL_C_EVENT;
    const int chosen = atStep.empty() ? 0 : std::stoi(atStep);
    int started = 0;
    qx::UnattendedSeams seams;
    seams.stepStarted = [&](const std::wstring&) {
        if (++started != chosen) return;
        std::thread handler([event] { qx::OnConsoleControl(event); });
        handler.join();
    };
    return qx::RunUnattended(std::vector<std::wstring>(argv + (argc > 0 ? 1 : 0), argv + argc), seams);
}
