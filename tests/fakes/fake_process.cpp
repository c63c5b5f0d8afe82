// A program that only waits: copied under the names of the product's programs
// so that tests can end it by name. It leaves by itself after a minute, with
// exit code 1, so that a test that fails to end it leaves nothing behind for long.
//   fake_process.exe [--hold FILE]
// With --hold it keeps FILE open, shared for reading and writing but not for
// deleting, as the product's services hold their log files.
#include "platform/handles.h"

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv)
{
    qx::UniqueHandleFile held;
    if (argc == 3 && std::wstring(argv[1]) == L"--hold") {
        held.reset(::CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!held) return 2;
    }
    ::Sleep(60 * 1000);
    return 1;
}
