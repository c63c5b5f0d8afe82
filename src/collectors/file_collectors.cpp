#include "collectors/file_collectors.h"

#include "collect/run_log.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "resource.h"
#include "settings/product_settings.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <optional>

namespace qx {
namespace {

struct Source {
    std::wstring Folder;
    const wchar_t* Pattern;
};

struct FileCollector {
    // Resolved when the collector starts.
    std::vector<Source> (*Sources)();
    const wchar_t* SubFolder;
    // String-table texts: the step title, the status before a file's name,
    // and the status of the none and done endings.
    UINT Title;
    UINT Copying;
    UINT NoneStatus;
    UINT DoneStatus;
    // Run-log entries.
    const wchar_t* StartText;
    const wchar_t* NoneText;
    // The error entry is this, the source, " >> " and the destination. Only the
    // members that have one look at the result of a copy.
    const wchar_t* CopyErrorPrefix;
    // Milliseconds.
    DWORD PauseBeforeCopy;
    DWORD NonePause;
    DWORD DonePause;
};

std::optional<std::wstring> ShellFolder(int csidl)
{
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return std::nullopt;
    return std::wstring(buffer);
}

// As JoinPath, but a path too long for MAX_PATH is given whole rather than
// empty, so that it can be listed and logged, and then refused as a copy.
std::wstring JoinWhole(const std::wstring& folder, const std::wstring& name)
{
    std::wstring joined = JoinPath(folder, name);
    if (!joined.empty()) return joined;
    return folder + (!folder.empty() && folder.back() == L'\\' ? L"" : L"\\") + name;
}

std::vector<Source> DebugLogSources() { return {{DebugLogFolder(), L"*.txt"}, {L"C:\\log", L"*.log"}}; }

std::vector<Source> CrashDumpSources()
{
    const std::optional<std::wstring> common = ShellFolder(CSIDL_COMMON_APPDATA);
    return {{common ? JoinPath(*common, L"Orvek\\TOVRA") : DebugLogFolder(), L"*.mdmp"},
            {DebugLogFolder(), L"*.dmp"}};
}

std::vector<Source> DumpLogSources()
{
    const std::optional<std::wstring> common = ShellFolder(CSIDL_COMMON_APPDATA);
    return {{common ? *common + L"\\Orvek\\TOVRA" : L"C:\\log", L"*.log"}};
}

// Without the per-user folder there is nothing to search: never the drive's root.
std::vector<Source> VorlixSources()
{
    const std::optional<std::wstring> appData = ShellFolder(CSIDL_APPDATA);
    if (!appData) return {};
    return {{*appData + L"\\Orvek\\VLXForTOVRA", L"*.*"}};
}

enum Member { DebugLogs, CrashDumps, DumpLogs, VorlixFiles };

// Sources, sub-folder; step title, copying, none and done texts; run-log start,
// none and copy-error texts; pauses before each copy, after none, after done.
constexpr FileCollector kMembers[] = {
    {DebugLogSources, L"debug", IDS_DEBUGLOG_TITLE, IDS_DEBUGLOG_COPYING, IDS_DEBUGLOG_NONE, IDS_DEBUGLOG_DONE,
     L"copy debug file.", L"not found debug file.", L"debug file copy error. ", 0, 50, 500},
    {CrashDumpSources, L"dump", IDS_CRASHDUMP_TITLE, IDS_CRASHDUMP_COPYING, IDS_CRASHDUMP_NONE, IDS_CRASHDUMP_DONE,
     L"copy dump file.", L"not found dump file.", L"minidump file copy error. ", 20, 300, 1000},
    {DumpLogSources, L"dump", IDS_DUMPLOG_TITLE, IDS_DUMPLOG_COPYING, IDS_DUMPLOG_NONE, IDS_DUMPLOG_DONE,
     L"copy dump log file.", L"not found dump log file.", nullptr, 20, 300, 1000},
    {VorlixSources, L"vorlix", IDS_VLXFILES_TITLE, IDS_VLXFILES_COPYING, IDS_VLXFILES_NONE, IDS_VLXFILES_DONE,
     L"copy vlx file.", L"not found vlx file.", nullptr, 20, 300, 1000},
};

// A path that does not fit MAX_PATH is never used cut short: it is no copy.
// ERROR_SUCCESS, or why the copy failed.
DWORD CopyNew(const std::wstring& source, const std::wstring& destination)
{
    if (source.size() >= MAX_PATH || destination.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    return ::CopyFileW(source.c_str(), destination.c_str(), TRUE) ? ERROR_SUCCESS : ::GetLastError();
}

// `subFolder` of the output folder receives the copies; `sources` are the member's own
// unless given.
bool CollectFiles(const FileCollector& member, CollectionProgress& progress, const std::wstring& runLogPath,
                  const std::vector<Source>& sources, const std::wstring& subFolder)
{
    progress.SetStepTitle(LoadResourceString(member.Title));
    progress.SetProgress(0);

    std::vector<std::wstring> files;
    for (const Source& source : sources) {
        // An empty folder (one too long to be joined) would search the root of the current drive.
        if (!source.Folder.empty()) FindFilesByPattern(source.Folder, source.Pattern, files);
    }

    if (files.empty()) {
        AppendRunLogEntry(runLogPath, member.NoneText);
        progress.SetProgress(100);
        progress.SetStatus(LoadResourceString(member.NoneStatus));
        progress.Pause(member.NonePause);
        return true;
    }

    AppendRunLogEntry(runLogPath, member.StartText);
    const std::wstring destinationFolder = JoinWhole(progress.Request().OutputFolder, subFolder);
    const std::wstring copying = LoadResourceString(member.Copying);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::wstring& source = files[i];
        AppendRunLogLine(runLogPath, L"\t" + source);
        const std::wstring name = FileNameOfPath(source);
        const std::wstring destination = JoinWhole(destinationFolder, name);
        progress.SetStatus(copying + L" " + name);
        progress.SetProgress(static_cast<int>(100 * i / files.size()));
        if (member.PauseBeforeCopy) progress.Pause(member.PauseBeforeCopy);

        const DWORD copyError = CopyNew(source, destination);
        const bool copied = copyError == ERROR_SUCCESS;
        if (copied) {
            progress.FileWritten(destination, source);
        } else {
            progress.StepFailed(StepOutcome::CopyError, source + L" >> " + destination, copyError);
        }
        if (member.CopyErrorPrefix && !copied) {
            AppendRunLogEntry(runLogPath, member.CopyErrorPrefix + source + L" >> " + destination);
            return true;
        }
        // A destination that was there before keeps its own security.
        if (copied) ApplyOpenAccess(destination);
        if (progress.CancelRequested()) {
            AppendRunLogEntry(runLogPath, L"cancel");
            return false;
        }
    }

    progress.SetProgress(100);
    progress.SetStatus(LoadResourceString(member.DoneStatus));
    progress.Pause(member.DonePause);
    return true;
}

bool CollectFiles(const FileCollector& member, CollectionProgress& progress, const std::wstring& runLogPath)
{
    return CollectFiles(member, progress, runLogPath, member.Sources(), member.SubFolder);
}

}  // namespace

std::vector<UserVorlixFolder> VorlixFoldersOfAllUsers()
{
    std::vector<UserVorlixFolder> folders;
    for (const std::wstring& profile : UserProfileFolders()) {
        const std::wstring vorlix = JoinPath(profile, L"AppData\\Roaming\\Orvek\\VLXForTOVRA");
        const DWORD attributes = vorlix.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(vorlix.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        folders.push_back({FileNameOfPath(profile), vorlix});
    }
    return folders;
}

bool CollectVorlixFilesOfAllUsers(CollectionProgress& progress, const std::wstring& runLogPath)
{
    const FileCollector& member = kMembers[VorlixFiles];
    const std::vector<UserVorlixFolder> users = VorlixFoldersOfAllUsers();
    if (users.empty()) return CollectFiles(member, progress, runLogPath, {}, member.SubFolder);
    for (const UserVorlixFolder& user : users) {
        const std::wstring subFolder = std::wstring(member.SubFolder) + L"\\" + user.UserName;
        // The item's folder exists; the users' folders inside it are this step's own.
        const std::wstring destination = JoinPath(progress.Request().OutputFolder, subFolder);
        if (!destination.empty()) CreateFolderTree(destination);
        if (!CollectFiles(member, progress, runLogPath, {{user.Folder, L"*.*"}}, subFolder)) return false;
    }
    return true;
}

bool CollectDebugLogs(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return CollectFiles(kMembers[DebugLogs], progress, runLogPath);
}

bool CollectCrashDumps(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return CollectFiles(kMembers[CrashDumps], progress, runLogPath);
}

bool CollectDumpLogs(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return CollectFiles(kMembers[DumpLogs], progress, runLogPath);
}

bool CollectVorlixFiles(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return CollectFiles(kMembers[VorlixFiles], progress, runLogPath);
}

std::uint64_t PlannedCopyBytes(const CollectRequest& request)
{
    const struct {
        BYTE CollectRequest::*Item;
        Member Collector;
    } planned[] = {{&CollectRequest::WantDebugLogs, DebugLogs},
                   {&CollectRequest::WantCrashDumps, CrashDumps},
                   {&CollectRequest::WantCrashDumps, DumpLogs},
                   {&CollectRequest::WantVorlixFiles, VorlixFiles}};
    std::uint64_t bytes = 0;
    for (const auto& item : planned) {
        if (!(request.*item.Item)) continue;
        std::vector<std::wstring> files;
        for (const Source& source : kMembers[item.Collector].Sources()) {
            if (!source.Folder.empty()) FindFilesByPattern(source.Folder, source.Pattern, files);
        }
        for (const std::wstring& file : files) bytes += FileSizeOrZero(file);
    }
    return bytes;
}

void FindFilesByPattern(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>& files)
{
    WIN32_FIND_DATAW found;
    UniqueHandleFind search(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!search) return;
    do {
        // Also passes over "." and "..".
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        files.push_back(JoinWhole(folder, found.cFileName));
    } while (::FindNextFileW(search.get(), &found));
}

std::wstring FileNameOfPath(const std::wstring& path)
{
    const wchar_t* name = ::PathFindFileNameW(path.c_str());
    return *name ? std::wstring(name) : path;
}

}  // namespace qx
