#pragma once
// SHA-256 of files, by Windows CNG (bcrypt.dll): no hashing code of our own.

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

namespace qx {

struct FileDigest {
    std::uint64_t Size = 0;
    // UTC.
    FILETIME LastWrite{};
    std::array<BYTE, 32> Sha256{};
};

// Reads `path` once, start to end, and gives its size, last-write time and
// SHA-256; ERROR_SUCCESS, or the Win32 error of what failed.
DWORD DigestFile(const std::wstring& path, FileDigest& digest);

// Lower-case hex, as sha256sum and Get-FileHash (in any case) print it.
std::wstring HexText(const std::array<BYTE, 32>& bytes);

}  // namespace qx
