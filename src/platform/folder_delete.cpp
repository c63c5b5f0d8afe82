#include "platform/files.h"

#include "platform/handles.h"

#include <windows.h>

namespace qx {
namespace {

bool IsDirectoryLink(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Deletes the link itself through a handle to it. Wine opens what a Unix
// symbolic link points to even when asked for the link, and deleting through
// that handle would remove the target: a handle that is no link is left alone.
bool RemoveLink(const std::wstring& link)
{
    UniqueHandleFile handle(::CreateFileW(link.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return false;
    FILE_ATTRIBUTE_TAG_INFO opened{};
    if (!::GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &opened, sizeof opened) ||
        !(opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(handle.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace

bool DeleteFolderTree(const std::wstring& path)
{
    // An empty path would make the pattern "*", the current folder.
    if (path.empty()) return true;
    // This runs elevated: following a link would delete what it points to.
    if (IsDirectoryLink(::GetFileAttributesW(path.c_str()))) return RemoveLink(path);

    const std::wstring pattern = JoinPath(path, L"*");
    WIN32_FIND_DATAW found;
    UniqueHandleFind find(pattern.empty() ? INVALID_HANDLE_VALUE : ::FindFirstFileW(pattern.c_str(), &found));
    if (!find) return true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        // A name that does not fit is left, and so keeps the folder.
        const std::wstring child = JoinPath(path, name);
        if (child.empty()) continue;
        if (IsDirectoryLink(found.dwFileAttributes)) {
            RemoveLink(child);
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteFolderTree(child);
        } else {
            ::DeleteFileW(child.c_str());
        }
    } while (::FindNextFileW(find.get(), &found));
    find.reset();
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

}  // namespace qx
