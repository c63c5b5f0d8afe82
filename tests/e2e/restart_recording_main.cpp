// QXDIAG as the end-to-end tests run it when they answer Yes to a restart: the
// whole tool, except that the restart is written down instead of done. Under
// Wine a real ExitWindowsEx would close every windowed program of the prefix,
// the test program among them. Each restart asked for appends the line
// "ExitWindowsEx flags=0x<flags> reason=0x<reason>" (CR LF) to the file that
// the environment variable kRestartRecordVariable names; without the variable
// the restart counts as refused, and nothing is restarted either way.

#include "app/app.h"
#include "driver.h"
#include "platform/handles.h"
#include "platform/restart.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring RecordFile()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(qx::e2e::kRestartRecordVariable, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

BOOL RecordRestart(UINT flags, DWORD reason)
{
    const std::wstring record = RecordFile();
    if (record.empty()) return FALSE;
    char line[64] = {};
    const int size = std::snprintf(line, sizeof line, "ExitWindowsEx flags=0x%X reason=0x%lX\r\n", flags,
                                   static_cast<unsigned long>(reason));
    qx::UniqueHandleFile file(::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), line, static_cast<DWORD>(size), &written, nullptr) &&
           written == static_cast<DWORD>(size);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    qx::TheRestartSeam().exitWindows = RecordRestart;
    return qx::TheApp().Run();
}
