#include "platform/files.h"

#include <windows.h>
#include <aclapi.h>
#include <shlwapi.h>

#include <cwchar>
#include <optional>
#include <vector>

namespace qx {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Opens the file or folder that `path` names (backup semantics opens folders
// too), a link as the link itself.
UniqueHandleFile OpenEntry(const std::wstring& path, DWORD access)
{
    return UniqueHandleFile(::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The file system's name for an open file or folder, from the root of its volume.
std::optional<std::wstring> NameOfHandle(HANDLE handle)
{
    // Room for the longest name a path can hold.
    std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / sizeof(DWORD));
    if (!::GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(),
                                        static_cast<DWORD>(buffer.size() * sizeof(DWORD))))
        return std::nullopt;
    const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

// True when `entry`, opened by `path` with FILE_FLAG_OPEN_REPARSE_POINT, is no
// reparse point and is named as the entry of the folder above it. Windows opens
// a link as the link and shows its tag; Wine opens through a Unix link and
// shows no tag, but names the handle after the link's target.
bool IsOwnEntry(HANDLE entry, std::wstring_view path)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;

    while (path.size() > 1 && path.back() == L'\\') path.remove_suffix(1);
    const std::wstring_view::size_type slash = path.rfind(L'\\');
    if (slash == std::wstring_view::npos || slash + 1 == path.size()) return false;
    // The folder above is followed as the user's path leads: only the last part is checked here.
    const UniqueHandleFile folder(::CreateFileW(std::wstring(path.substr(0, slash + 1)).c_str(), FILE_READ_ATTRIBUTES,
                                                kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                                nullptr));
    if (!folder) return false;
    std::optional<std::wstring> expected = NameOfHandle(folder.get());
    const std::optional<std::wstring> actual = NameOfHandle(entry);
    if (!expected || !actual) return false;
    while (!expected->empty() && expected->back() == L'\\') expected->pop_back();
    *expected += path.substr(slash);
    return ::CompareStringOrdinal(expected->c_str(), static_cast<int>(expected->size()), actual->c_str(),
                                  static_cast<int>(actual->size()), TRUE) == CSTR_EQUAL;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

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

std::uint64_t FileSizeOrZero(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
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

bool IsAbsentOrPlain(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(::GetLastError());
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    const UniqueHandleFile entry = OpenEntry(path, FILE_READ_ATTRIBUTES);
    return entry && IsOwnEntry(entry.get(), path);
}

UniqueHandleFile OpenToAppend(const std::wstring& path)
{
    // OPEN_ALWAYS would create a file at the far end of a link that leads
    // nowhere; CREATE_NEW refuses any name that is taken, by a link too.
    const auto open = [&path](DWORD disposition) {
        return UniqueHandleFile(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, 0, nullptr,
                                              disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                              nullptr));
    };
    UniqueHandleFile file = open(OPEN_EXISTING);
    if (!file && ::GetLastError() == ERROR_FILE_NOT_FOUND) file = open(CREATE_NEW);
    if (file && !IsOwnEntry(file.get(), path)) file.reset();
    return file;
}

bool DeleteIfPresent(const std::wstring& path)
{
    return ::DeleteFileW(path.c_str()) || IsMissing(::GetLastError());
}

void ApplyOpenAccess(const std::wstring& path)
{
    // By a handle, never by name: the name could be made a link in between.
    const UniqueHandleFile entry = OpenEntry(path, WRITE_DAC | FILE_READ_ATTRIBUTES);
    if (!entry || !IsOwnEntry(entry.get(), path)) return;
    // No DACL at all: everyone has full access.
    ::SetSecurityInfo(entry.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr);
}

bool RenameWithoutReplacing(const std::wstring& from, const std::wstring& to)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes the call fail.
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != FALSE;
}

}  // namespace qx
