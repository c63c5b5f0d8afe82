// Stands in for the Vorlix client, its logging build and its extension
// programs: copied under "Vorlix.exe", "VorlixLog.exe", "vlxExtension.exe" and
// "vlxExtensionLog.exe". Each start appends "<own file name> <pid>" as a line
// to vorlix-trace.txt in its own folder, so that tests see which program was
// started; then it waits to be ended (TerminateProcess, exit code 0). It
// leaves by itself after ten minutes with exit code 1, so that nothing a test
// forgot stays behind for long.
#include "platform/handles.h"

#include <windows.h>

#include <string>

namespace {

void AppendTrace()
{
    wchar_t module[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const std::wstring path(module, length);
    const std::wstring::size_type slash = path.rfind(L'\\');
    const std::wstring folder = path.substr(0, slash + 1);
    const std::wstring name = path.substr(slash + 1);

    std::string line;
    for (wchar_t c : name) line += static_cast<char>(c < 0x80 ? c : '?');
    line += ' ' + std::to_string(::GetCurrentProcessId()) + "\r\n";

    // Programs started together may append at once: retry while another holds the file.
    const std::wstring trace = folder + L"vorlix-trace.txt";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const qx::UniqueHandleFile file(::CreateFileW(trace.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            return;
        }
        ::Sleep(20);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    AppendTrace();
    ::Sleep(10 * 60 * 1000);
    return 1;
}
