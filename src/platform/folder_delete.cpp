#include "platform/files.h"

#include "platform/handles.h"
#include "platform/system.h"

#include <windows.h>
#include <winternl.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <array>
#include <cwctype>
#include <vector>

namespace qx {
namespace {

// Deeper trees are left in place: recursion that deep would be an attack on the stack.
constexpr int kMaxFolderDepth = 128;


bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool EqualNoCase(std::wstring_view a, std::wstring_view b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring WithoutTrailingSeparators(std::wstring path)
{
    // "C:\" keeps its backslash: "C:" alone would mean the current folder of C:.
    while (path.size() > 3 && IsSeparator(path.back())) path.pop_back();
    return path;
}

// The long form of an existing path ("C:\PROGRA~1" is "C:\Program Files");
// the path itself when it does not exist or the long form does not fit.
std::wstring LongForm(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : path;
}

// `path` made absolute with "." and ".." resolved; empty when it does not fit.
std::wstring FullPath(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH) return {};
    return WithoutTrailingSeparators(std::wstring(buffer, length));
}

// The folders that Windows, its programs and its users live in.
std::vector<std::wstring> FoldersWindowsNeeds()
{
    static const std::array<const KNOWNFOLDERID*, 8> kKnownFolders{
        &FOLDERID_Windows,      &FOLDERID_System,      &FOLDERID_SystemX86,    &FOLDERID_ProgramFiles,
        &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramData, &FOLDERID_UserProfiles, &FOLDERID_Profile,
    };
    std::vector<std::wstring> folders;
    for (const KNOWNFOLDERID* id : kKnownFolders) {
        PWSTR path = nullptr;
        if (SUCCEEDED(::SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path) {
            folders.push_back(path);
        }
        ::CoTaskMemFree(path);
    }
    // Every profile of the machine, not only the one running the tool.
    for (std::wstring& profile : UserProfileFolders()) folders.push_back(std::move(profile));
    for (std::wstring& folder : folders) folder = LongForm(WithoutTrailingSeparators(folder));
    return folders;
}

// Whether `folder` is `needed` or a folder above it.
bool IsOrHolds(const std::wstring& folder, const std::wstring& needed)
{
    if (EqualNoCase(folder, needed)) return true;
    return needed.size() > folder.size() && IsSeparator(needed[folder.size()]) &&
           EqualNoCase(folder, std::wstring_view(needed).substr(0, folder.size()));
}

// The ends of the components of `full` ("C:\a\b": "C:\a", "C:\a\b"), the root left out.
std::vector<std::size_t> ComponentEnds(const std::wstring& full)
{
    std::vector<std::size_t> ends;
    for (std::size_t at = 3; at <= full.size(); ++at) {
        if (at == full.size() || full[at] == L'\\') {
            if (at > 3) ends.push_back(at);
        }
    }
    return ends;
}

DWORD ErrorOf(NTSTATUS status) { return ::RtlNtStatusToDosError(status); }

// NtCreateFile of `name` inside the folder `parent`, which makes the name
// resolve in the very folder held open, however its path changes meanwhile.
// A link is opened as the link, not followed.
DWORD OpenInFolder(HANDLE parent, std::wstring_view name, ACCESS_MASK access, ULONG options, UniqueHandleFile& opened)
{
    opened.reset();
    if (name.size() * sizeof(wchar_t) > 0xFFFE) return ERROR_FILENAME_EXCED_RANGE;
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = const_cast<PWSTR>(name.data());
    unicodeName.Length = unicodeName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io{};
    // A raw slot, not put(): a failed call may write a null handle, which is not
    // this owner's empty value.
    HANDLE handle = INVALID_HANDLE_VALUE;
    const NTSTATUS status =
        ::NtCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr, 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                       options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT,
                       nullptr, 0);
    if (!NT_SUCCESS(status)) return ErrorOf(status);
    opened.reset(handle);
    return ERROR_SUCCESS;
}

constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE;

bool IsLinkHandle(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    // A handle whose attributes cannot be read is treated as a link: never entered.
    return !::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<ULONGLONG> FileIdOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) return std::nullopt;
    return (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
}

// Opens the folder `full` component by component from its drive root, each
// inside the one before, and refuses a reparse point on the way: checked on the
// name too, because Wine shows a Unix symbolic link only there.
DWORD OpenFolderWithoutLinks(const std::wstring& full, UniqueHandleFile& folder)
{
    UniqueHandleFile current(::CreateFileW(full.substr(0, 3).c_str(), kFolderAccess | FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!current) return ::GetLastError();
    const std::vector<std::size_t> ends = ComponentEnds(full);
    std::size_t start = 3;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const bool last = i + 1 == ends.size();
        const DWORD byName = ::GetFileAttributesW(full.substr(0, ends[i]).c_str());
        if (byName != INVALID_FILE_ATTRIBUTES && (byName & FILE_ATTRIBUTE_REPARSE_POINT)) return ERROR_REPARSE_ATTRIBUTE_CONFLICT;
        UniqueHandleFile next;
        const DWORD error = OpenInFolder(current.get(), std::wstring_view(full).substr(start, ends[i] - start),
                                         kFolderAccess | (last ? DELETE : 0), FILE_DIRECTORY_FILE, next);
        if (error != ERROR_SUCCESS) return error;
        if (IsLinkHandle(next.get())) return ERROR_REPARSE_ATTRIBUTE_CONFLICT;
        current = std::move(next);
        start = ends[i] + 1;
    }
    folder = std::move(current);
    return ERROR_SUCCESS;
}

struct FolderEntry {
    std::wstring Name;
    DWORD Attributes;
    ULONGLONG FileId;
};

// Every entry of the folder held open, "." and ".." left out; false when the
// listing fails part-way.
bool ListFolder(HANDLE folder, std::vector<FolderEntry>& entries)
{
    alignas(LONGLONG) unsigned char buffer[16 * 1024];
    FILE_INFO_BY_HANDLE_CLASS infoClass = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(folder, infoClass, buffer, sizeof buffer)) {
            return ::GetLastError() == ERROR_NO_MORE_FILES;
        }
        infoClass = FileIdBothDirectoryInfo;
        for (std::size_t offset = 0;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
            std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                entries.push_back({std::move(name), info->FileAttributes,
                                   static_cast<ULONGLONG>(info->FileId.QuadPart)});
            }
            if (info->NextEntryOffset == 0) break;
            offset += info->NextEntryOffset;
        }
    }
}

bool MarkForDeletion(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// Removes a link entry as the link. Wine opens what a Unix symbolic link
// points to even when asked for the link: a handle that shows no link is left
// alone rather than deleted, which would remove the target.
bool RemoveLinkEntry(HANDLE parent, const FolderEntry& entry)
{
    UniqueHandleFile link;
    if (OpenInFolder(parent, entry.Name, DELETE, 0, link) != ERROR_SUCCESS) return false;
    return IsLinkHandle(link.get()) && MarkForDeletion(link.get());
}

bool DeleteContents(HANDLE folder, int depth);

// Deletes one entry through a handle opened inside `parent`. The entry must
// still be what the listing saw: one swapped for a link or another folder
// since then is left alone.
bool DeleteEntry(HANDLE parent, const FolderEntry& entry, int depth)
{
    if (entry.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveLinkEntry(parent, entry);
    const bool isFolder = (entry.Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    UniqueHandleFile handle;
    if (OpenInFolder(parent, entry.Name, DELETE | (isFolder ? kFolderAccess : 0),
                     isFolder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE, handle) != ERROR_SUCCESS) {
        return false;
    }
    if (IsLinkHandle(handle.get())) return MarkForDeletion(handle.get());
    // FAT lists no file ids; it has no links either, so nothing can be swapped in there.
    if (entry.FileId != 0 && FileIdOf(handle.get()) != entry.FileId) return false;
    if (isFolder && (depth >= kMaxFolderDepth || !DeleteContents(handle.get(), depth + 1))) return false;
    return MarkForDeletion(handle.get());
}

bool DeleteContents(HANDLE folder, int depth)
{
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries)) return false;
    if (const auto& afterListing = TheFolderDeleteSeam().afterListing) afterListing();
    bool all = true;
    for (const FolderEntry& entry : entries) all = DeleteEntry(folder, entry, depth) && all;
    return all;
}

}  // namespace

FolderDeleteSeam& TheFolderDeleteSeam()
{
    static FolderDeleteSeam seam;
    return seam;
}

FolderRefusal FolderTreeDeletionRefusal(const std::wstring& path)
{
    if (path.find(L'%') != std::wstring::npos) return FolderRefusal::UnexpandedVariable;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return FolderRefusal::NetworkOrDevice;
    if (path.size() < 3 || !std::iswalpha(path[0]) || path[1] != L':' || !IsSeparator(path[2])) {
        return FolderRefusal::NotFullPath;
    }
    if (path.find_first_of(L":*?\"<>|", 2) != std::wstring::npos) return FolderRefusal::InvalidCharacter;
    const std::wstring resolved = FullPath(path);
    if (resolved.empty()) return FolderRefusal::TooLong;
    // Reserved device names ("C:\Log\CON") resolve to "\\.\CON".
    if (IsSeparator(resolved[0])) return FolderRefusal::NetworkOrDevice;
    if (resolved.size() <= 3) return FolderRefusal::DriveRoot;
    const std::wstring full = LongForm(resolved);
    for (const std::wstring& needed : FoldersWindowsNeeds()) {
        if (IsOrHolds(full, needed)) return FolderRefusal::WindowsFolder;
    }
    for (std::size_t end : ComponentEnds(full)) {
        const DWORD attributes = ::GetFileAttributesW(full.substr(0, end).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) break;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FolderRefusal::Link;
    }
    return FolderRefusal::None;
}

bool DeleteFolderTree(const std::wstring& path)
{
    if (FolderTreeDeletionRefusal(path) != FolderRefusal::None) return false;
    const std::wstring full = LongForm(FullPath(path));
    UniqueHandleFile folder;
    const DWORD error = OpenFolderWithoutLinks(full, folder);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    if (error != ERROR_SUCCESS) return false;
    if (!DeleteContents(folder.get(), 0) || !MarkForDeletion(folder.get())) return false;
    folder.reset();
    // The folder goes when its last handle closes; another program's handle keeps it.
    return ::GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace qx
