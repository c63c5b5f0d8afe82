#include "platform/console.h"

#include <climits>
#include <string>

namespace qx {

void WriteConsoleLine(DWORD standardHandle, std::wstring_view text)
{
    HANDLE out = ::GetStdHandle(standardHandle);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    std::wstring line(text.substr(0, INT_MAX / 4));
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(out, &mode)) {
        line += L"\n";
        ::WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    line += L"\r\n";
    const UINT codePage = ::GetConsoleOutputCP() ? ::GetConsoleOutputCP() : ::GetOEMCP();
    const int wide = static_cast<int>(line.size());
    const int size = ::WideCharToMultiByte(codePage, 0, line.data(), wide, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (::WideCharToMultiByte(codePage, 0, line.data(), wide, bytes.data(), size, nullptr, nullptr) != size) return;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace qx
