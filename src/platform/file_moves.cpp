#include "platform/files.h"

#include <windows.h>

namespace qx {

bool RenameWithoutReplacing(const std::wstring& from, const std::wstring& to)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes the call fail.
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != FALSE;
}

}  // namespace qx
