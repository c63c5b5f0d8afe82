#include "collect/output_folder.h"

#include "collect/collection_run.h"
#include "collect/run_log.h"
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <vector>

namespace qx {
namespace {

struct ItemFolder {
    BYTE CollectRequest::*Item;
    const wchar_t* Name;
};

// The sub-folder of each item, in the order they are created.
constexpr std::array<ItemFolder, 5> kItemFolders{{
    {&CollectRequest::WantEventLogs, L"event"},
    {&CollectRequest::WantDebugLogs, L"debug"},
    {&CollectRequest::WantCrashDumps, L"dump"},
    {&CollectRequest::WantRegistry, L"registry"},
    {&CollectRequest::WantVorlixFiles, L"vorlix"},
}};

// Before anything is created, the tree that earlier runs left open to everyone
// must hold no link that would lead the writes out of it, and every fixed
// file of the chosen items must fit.
DWORD CheckOutputTree(const CollectRequest& request, const std::vector<std::wstring>& subFolders)
{
    const std::wstring& output = request.OutputFolder;
    for (const std::wstring& file : FixedOutputFiles(request)) {
        if (JoinPath(output, file).empty()) return ERROR_FILENAME_EXCED_RANGE;
    }
    std::vector<std::wstring> checked{output, RunLogPath(output)};
    checked.insert(checked.end(), subFolders.begin(), subFolders.end());
    const bool plain = std::all_of(checked.begin(), checked.end(),
                                   [](const std::wstring& path) { return !path.empty() && IsAbsentOrPlain(path); });
    return plain ? ERROR_SUCCESS : ERROR_REPARSE_ATTRIBUTE_CONFLICT;
}

}  // namespace

DWORD PrepareOutputFolder(CollectRequest& request, const std::wstring& chosenFolder)
{
    // Every path of the run must fit before anything is created: a path cut
    // short would write somewhere else.
    request.OutputFolder = JoinPath(chosenFolder, L"QXDIAG");
    std::vector<std::wstring> subFolders;
    bool pathsFit = !request.OutputFolder.empty() && RunLogPath(request.OutputFolder).size() < MAX_PATH;
    for (const ItemFolder& folder : kItemFolders) {
        if (!(request.*folder.Item)) continue;
        subFolders.push_back(JoinPath(request.OutputFolder, folder.Name));
        pathsFit = pathsFit && !subFolders.back().empty();
    }
    if (!pathsFit) return ERROR_FILENAME_EXCED_RANGE;
    if (const DWORD unsafe = CheckOutputTree(request, subFolders); unsafe != ERROR_SUCCESS) return unsafe;
    if (!CreateFolderTree(request.OutputFolder)) {
        // The tree's own checks leave other codes behind: ask the folder itself once more.
        if (::GetFileAttributesW(request.OutputFolder.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_DIRECTORY;
        if (!::CreateDirectoryW(request.OutputFolder.c_str(), nullptr)) return ::GetLastError();
        ApplyOpenAccess(request.OutputFolder);
    }
    for (const std::wstring& subFolder : subFolders) CreateFolderTree(subFolder);
    return ERROR_SUCCESS;
}

}  // namespace qx
