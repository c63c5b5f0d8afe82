// Stands in for wevtutil.exe, which Wine only stubs. Every call appends its
// exact command line (GetCommandLineW, UTF-16LE, then CR LF) to a record file:
// the file named by the environment variable QX_WEVTUTIL_RECORD, or else
// <Windows folder>\Temp\wevtutil-calls.txt.
//
// "epl <channel> <target> [/option...]" behaves as the real command does where
// the collector relies on it: a further positional argument is an error (87),
// an existing target is refused (183) and kept, and otherwise the target is
// created with recognisable UTF-8 text naming this program, the channel and the
// query.
//
// "al <file> /l:<locale>" (archive-log) does what the real command is
// documented to do: it needs an existing file and exactly one locale, and
// writes "LocaleMetaData\<file stem>_<locale>.MTA" beside the file; anything
// else is an error (87), a missing file 2. Other commands do nothing.
//
// For the channel named by the environment variable QX_WEVTUTIL_HANG, "epl"
// writes the start of its target and then never ends, as a stuck export would.

#include "platform/handles.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::wstring RecordPath()
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"QX_WEVTUTIL_RECORD", buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return buffer;
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer) + L"\\Temp\\wevtutil-calls.txt";
}

bool AppendBytes(const std::wstring& path, const void* data, DWORD size)
{
    const qx::UniqueHandleFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), data, size, &written, nullptr) && written == size;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

int ExportLog(const std::vector<std::wstring>& args)
{
    std::vector<std::wstring> positional;
    std::wstring query;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.rfind(L"/q:", 0) == 0) {
            query = arg.substr(3);
        } else if (arg.empty() || (arg[0] != L'/' && arg[0] != L'-')) {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return ERROR_INVALID_PARAMETER;
    const std::wstring& channel = positional[0];
    const std::wstring& target = positional[1];

    const qx::UniqueHandleFile file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return static_cast<int>(::GetLastError());
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::string content = "QXDIAG fake evtx\r\nprogram: " + Utf8(program) + "\r\nchannel: " + Utf8(channel) +
                                "\r\nquery: " + Utf8(query) + "\r\n";
    DWORD written = 0;
    const bool ok = ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    wchar_t hang[MAX_PATH] = {};
    const DWORD hangLength = ::GetEnvironmentVariableW(L"QX_WEVTUTIL_HANG", hang, MAX_PATH);
    if (hangLength > 0 && hangLength < MAX_PATH && channel == hang) {
        ::FlushFileBuffers(file.get());
        ::Sleep(INFINITE);
    }
    return ok ? 0 : ERROR_WRITE_FAULT;
}

int ArchiveLog(const std::vector<std::wstring>& args)
{
    if (args.size() != 4 || args[3].rfind(L"/l:", 0) != 0 || args[3].size() <= 3) return ERROR_INVALID_PARAMETER;
    const std::wstring& log = args[2];
    const std::wstring locale = args[3].substr(3);
    const DWORD attributes = ::GetFileAttributesW(log.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_FILE_NOT_FOUND;
    const std::wstring::size_type slash = log.rfind(L'\\');
    const std::wstring folder = (slash == std::wstring::npos ? L"." : log.substr(0, slash)) + L"\\LocaleMetaData";
    std::wstring stem = slash == std::wstring::npos ? log : log.substr(slash + 1);
    if (const std::wstring::size_type dot = stem.rfind(L'.'); dot != std::wstring::npos) stem.resize(dot);
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return static_cast<int>(::GetLastError());
    }
    const std::wstring logName = slash == std::wstring::npos ? log : log.substr(slash + 1);
    const std::string content = "QXDIAG fake locale metadata\r\nlog: " + Utf8(logName) + "\r\nlocale: " + Utf8(locale) + "\r\n";
    const qx::UniqueHandleFile file(::CreateFileW((folder + L"\\" + stem + L"_" + locale + L".MTA").c_str(),
                                                  GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
    if (!file) return static_cast<int>(::GetLastError());
    DWORD written = 0;
    const bool ok = ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    return ok ? 0 : ERROR_WRITE_FAULT;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring commandLine = ::GetCommandLineW() + std::wstring(L"\r\n");
    AppendBytes(RecordPath(), commandLine.data(), static_cast<DWORD>(commandLine.size() * sizeof(wchar_t)));

    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv) return static_cast<int>(::GetLastError());
    const std::vector<std::wstring> args(argv, argv + count);
    ::LocalFree(argv);

    if (args.size() >= 2 && ::CompareStringOrdinal(args[1].c_str(), -1, L"epl", -1, TRUE) == CSTR_EQUAL) {
        return ExportLog(args);
    }
    if (args.size() >= 2 && ::CompareStringOrdinal(args[1].c_str(), -1, L"al", -1, TRUE) == CSTR_EQUAL) {
        return ArchiveLog(args);
    }
    return 0;
}
