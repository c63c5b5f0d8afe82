#pragma once
// Folders, paths and file security. Paths are joined in MAX_PATH buffers; a
// join that does not fit gives the empty string, never a truncated path.

#include "platform/handles.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// `base` and `name` with one backslash between them (PathAppendW); empty when
// the result would not fit MAX_PATH.
std::wstring JoinPath(std::wstring_view base, std::wstring_view name);

// `path` ending in a backslash (PathAddBackslashW); empty when it would not fit.
std::wstring AddTrailingBackslash(std::wstring_view path);

// Makes sure folder `path` exists, creating missing parents first; each folder
// created gets open access. True when a folder stands at `path` at the end; a
// file of that name is a failure. A `path` without a backslash is only looked
// at, never created.
bool CreateFolderTree(const std::wstring& path);

// Gives file `from` the name `to` (MoveFileExW, copying across volumes when
// needed); never replaces an existing `to`. True when it was renamed.
bool RenameWithoutReplacing(const std::wstring& from, const std::wstring& to);

// Why a folder must not be deleted as a tree: only a full path below a drive
// root, outside the folders Windows needs and reached through no link, may be.
enum class FolderRefusal {
    None,
    NotFullPath,         // relative or drive-relative: "Log", ".", "C:", "\Log"
    DriveRoot,           // "C:\", or what resolves to it: "C:\Log\.."
    NetworkOrDevice,     // UNC, "\\?\" and "\\.\" paths, reserved device names
    UnexpandedVariable,  // holds "%"
    InvalidCharacter,    // a stream, a wildcard or another character no folder name has
    TooLong,             // does not resolve within MAX_PATH
    WindowsFolder,       // is or holds the Windows, Program Files, ProgramData or Users folder, or a profile
    Link,                // the folder or a folder above it is a reparse point
};
FolderRefusal FolderTreeDeletionRefusal(const std::wstring& path);

// Removes folder `path` with everything in it; true when it is gone, and when
// it does not exist. False when it is refused (FolderTreeDeletionRefusal) and
// when anything in it stays: a read-only file, a file another program holds,
// an entry swapped during the walk. Every folder is opened without following
// links and its entries are opened and deleted through it, so a link is
// removed as a link and what it points to is never touched.
bool DeleteFolderTree(const std::wstring& path);

// Tests only: runs after each folder's entries are listed, before any is deleted.
struct FolderDeleteSeam {
    std::function<void()> afterListing;
};
FolderDeleteSeam& TheFolderDeleteSeam();

// The size of file `path` in bytes; 0 when it cannot be told (as when it is missing).
std::uint64_t FileSizeOrZero(const std::wstring& path);

// The bytes free to this user on the volume of `path` (GetDiskFreeSpaceExW),
// or what the seam says in tests; nothing when it cannot be told.
std::optional<std::uint64_t> FreeBytesOnVolume(const std::wstring& path);

// Tests only: stands in for the free space of every volume when set.
struct FreeSpaceSeam {
    std::function<std::optional<std::uint64_t>(const std::wstring& path)> freeBytes;
};
FreeSpaceSeam& TheFreeSpaceSeam();


// True when nothing is at `path`, or a file or folder that is itself what the
// name shows: no reparse point (junction, symbolic link), and no entry that
// opens as something elsewhere. False as well when what is there cannot be
// examined.
bool IsAbsentOrPlain(const std::wstring& path);

// Opens file `path` to append to it, creating it when missing, without sharing.
// Never through a link: a link at `path`, even one that leads nowhere, is
// refused. Empty when the file cannot be opened or is refused.
UniqueHandleFile OpenToAppend(const std::wstring& path);

// Deletes file `path`; true when no file is left under that name, also when
// there was none.
bool DeleteIfPresent(const std::wstring& path);

// Gives a file or folder a NULL DACL (everyone has full access) through a
// handle of its own; a link is left alone, and failures pass unnoticed.
void ApplyOpenAccess(const std::wstring& path);

}  // namespace qx
