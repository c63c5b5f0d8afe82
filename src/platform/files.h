#pragma once
// Folders, paths and file security. Paths are joined in MAX_PATH buffers; a
// join that does not fit gives the empty string, never a truncated path.

#include "platform/handles.h"

#include <string>
#include <string_view>

namespace qx {

// `base` and `name` with one backslash between them (PathAppendW); empty when
// the result would not fit MAX_PATH.
std::wstring JoinPath(std::wstring_view base, std::wstring_view name);

// `path` ending in a backslash (PathAddBackslashW); empty when it would not fit.
std::wstring AddTrailingBackslash(std::wstring_view path);

// Makes sure folder `path` exists, creating missing parents first; each folder
// created gets open access. True when anything of that name already existed or
// the folder was created, and when `path` holds no backslash (nothing created).
bool CreateFolderTree(const std::wstring& path);

// Gives file `from` the name `to` (MoveFileExW, copying across volumes when
// needed); never replaces an existing `to`. True when it was renamed.
bool RenameWithoutReplacing(const std::wstring& from, const std::wstring& to);

// Removes folder `path` with everything in it; true when it was removed, and
// when it cannot be listed (as when it does not exist). A directory link
// (junction or symbolic link) is removed as a link, never entered, so nothing
// outside the tree is touched. Read-only files stay, and keep their folders.
bool DeleteFolderTree(const std::wstring& path);

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
