#include "platform/hash.h"

#include "platform/handles.h"

#include <bcrypt.h>

#include <vector>

namespace qx {
namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE algorithm) noexcept { ::BCryptCloseAlgorithmProvider(algorithm, 0); }

using UniqueAlgorithm = UniqueAny<BCRYPT_ALG_HANDLE, CloseAlgorithm>;
using UniqueHash = UniqueAny<BCRYPT_HASH_HANDLE, ::BCryptDestroyHash>;

DWORD ErrorOf(NTSTATUS status) { return status >= 0 ? ERROR_SUCCESS : ERROR_INTERNAL_ERROR; }

constexpr DWORD kChunkBytes = 1024 * 1024;

}  // namespace

DWORD DigestFile(const std::wstring& path, FileDigest& digest)
{
    digest = {};
    // Shared for reading only: a file that something still writes is not taken half-way.
    UniqueHandleFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return ::GetLastError();
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file.get(), &information)) return ::GetLastError();
    digest.LastWrite = information.ftLastWriteTime;

    UniqueAlgorithm algorithm;
    NTSTATUS status = ::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (status < 0) return ErrorOf(status);
    UniqueHash hash;
    status = ::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0);
    if (status < 0) return ErrorOf(status);
    std::vector<BYTE> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), chunk.data(), kChunkBytes, &read, nullptr)) return ::GetLastError();
        if (read == 0) break;
        digest.Size += read;
        status = ::BCryptHashData(hash.get(), chunk.data(), read, 0);
        if (status < 0) return ErrorOf(status);
    }
    status = ::BCryptFinishHash(hash.get(), digest.Sha256.data(), static_cast<ULONG>(digest.Sha256.size()), 0);
    return ErrorOf(status);
}

std::wstring HexText(const std::array<BYTE, 32>& bytes)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(bytes.size() * 2);
    for (BYTE byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

}  // namespace qx
