#pragma once
// The output folder of a run, as Save and qxcollect.exe make it: "QXDIAG" in
// the chosen folder, with one sub-folder for each item that is on.

#include "collect/collect_request.h"

#include <windows.h>

#include <string>

namespace qx {

// Sets the request's OutputFolder to `chosenFolder` joined with "QXDIAG" and
// creates it with the chosen items' sub-folders. ERROR_SUCCESS, or why not:
// ERROR_FILENAME_EXCED_RANGE with nothing created when a path of the run would
// not fit MAX_PATH (the fixed files of the chosen items included),
// ERROR_REPARSE_ATTRIBUTE_CONFLICT with nothing created when "QXDIAG", its run
// log or a chosen sub-folder is a link, the system's reason when the folder
// cannot be made. A
// sub-folder that cannot be made is left to its collector.
DWORD PrepareOutputFolder(CollectRequest& request, const std::wstring& chosenFolder);

}  // namespace qx
