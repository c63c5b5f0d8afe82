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

bool CreateFolderTree(const std::wstring& path)
{
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const std::wstring::size_type lastBackslash = path.rfind(L'\\');
    if (lastBackslash == std::wstring::npos) return true;
    // A parent that cannot be made shows up as the failure of the folder itself.
    CreateFolderTree(path.substr(0, lastBackslash));
    if (!::CreateDirectoryW(path.c_str(), nullptr)) return false;
    ApplyOpenAccess(path);
    return true;
}

void ApplyOpenAccess(const std::wstring& path)
{
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor);
}

}  // namespace qx
