#include "collect/collect_request.h"

namespace qx {

BYTE& CollectRequest::LevelFlag(int index)
{
    if (index < 4) return SystemLevels[static_cast<size_t>(index)];
    if (index < 8) return ApplicationLevels[static_cast<size_t>(index - 4)];
    return index == 8 ? SecurityAuditSuccess : SecurityAuditFailure;
}

BYTE& CollectRequest::LegacyLogFlag(int index)
{
    if (index == 0) return LegacySystemLog;
    return index == 1 ? LegacyApplicationLog : LegacySecurityLog;
}

}  // namespace qx
