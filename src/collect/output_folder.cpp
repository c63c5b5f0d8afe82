#include "collect/output_folder.h"

#include "collect/run_log.h"
#include "platform/files.h"

#include <windows.h>

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
