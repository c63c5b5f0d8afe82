#include "platform/files.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

namespace qx {

std::wstring JoinPath(std::wstring_view base, std::wstring_view name)
{
    if (base.size() >= MAX_PATH || name.size() >= MAX_PATH) return {};
    wchar_t buffer[MAX_PATH] = {};
    base.copy(buffer, base.size());
    const std::wstring nameText(name);
    // PathAppendW refuses, rather than truncates, a result that would not fit.
    if (!::PathAppendW(buffer, nameText.c_str())) return {};
    return buffer;
}

std::wstring AddTrailingBackslash(std::wstring_view path)
{
    if (path.size() >= MAX_PATH) return {};
    // One slot of slack: some PathAddBackslashW builds append to a 259-character
    // path and so write one character past a MAX_PATH buffer.
    wchar_t buffer[MAX_PATH + 1] = {};
    path.copy(buffer, path.size());
    if (!::PathAddBackslashW(buffer) || std::wcslen(buffer) >= MAX_PATH) return {};
    return buffer;
}

namespace {

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool CreateFolderTree(const std::wstring& path)
{
    // "C:\Log\" names the folder "C:\Log"; a drive root keeps its backslash.
    std::wstring folder = path;
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return IsFolder(folder);
    const std::wstring::size_type lastBackslash = folder.rfind(L'\\');
    if (lastBackslash == std::wstring::npos) return false;
    // A parent that cannot be made shows up as the failure of the folder itself.
    CreateFolderTree(folder.substr(0, lastBackslash));
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return IsFolder(folder);
    ApplyOpenAccess(folder);
    return true;
}

FreeSpaceSeam& TheFreeSpaceSeam()
{
    static FreeSpaceSeam seam;
    return seam;
}

std::optional<std::uint64_t> FreeBytesOnVolume(const std::wstring& path)
{
    if (const auto& freeBytes = TheFreeSpaceSeam().freeBytes) return freeBytes(path);
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

void ApplyOpenAccess(const std::wstring& path)
{
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor);
}

}  // namespace qx
