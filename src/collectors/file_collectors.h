#pragma once
// The file items of a collection: the product's debug logs, crash dumps and
// dump logs, and the Vorlix client's per-user files, copied into their
// sub-folder of the output folder. One procedure serves all four; they differ
// only in their row of a table.

#include "collect/collector.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

// Collectors: each copies what its sources hold, never overwriting a file, and
// stops the run only when it saw the user's cancel after a copy.
bool CollectDebugLogs(CollectionProgress& progress, const std::wstring& runLogPath);
bool CollectCrashDumps(CollectionProgress& progress, const std::wstring& runLogPath);
bool CollectDumpLogs(CollectionProgress& progress, const std::wstring& runLogPath);
bool CollectVorlixFiles(CollectionProgress& progress, const std::wstring& runLogPath);

// What the chosen file items of `request` would copy now, in bytes: the files
// their sources and patterns find, as the collectors would find them.
std::uint64_t PlannedCopyBytes(const CollectRequest& request);

// Every user profile's Vorlix folder that exists, found from ProfileList
// (as SYSTEM, CSIDL_APPDATA is the system profile's own), with the user name
// that its profile folder bears.
struct UserVorlixFolder {
    std::wstring UserName;
    std::wstring Folder;
};
std::vector<UserVorlixFolder> VorlixFoldersOfAllUsers();

// CollectVorlixFiles for every profile of VorlixFoldersOfAllUsers, one after
// another, each into "vorlix\<user name>".
bool CollectVorlixFilesOfAllUsers(CollectionProgress& progress, const std::wstring& runLogPath);

// Appends the full paths of the files of `folder` (not its sub-folders, which
// are not entered) that match the wildcard `pattern`, in the order the
// enumeration gives them. A folder that cannot be searched adds nothing.
void FindFilesByPattern(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>& files);

// The file-name part of `path`, or the whole path when that part is empty.
std::wstring FileNameOfPath(const std::wstring& path);

}  // namespace qx
