#pragma once
// The output folder of a collection as one archive to send, written beside it:
// "QXDIAG-<computer name>-<UTC yyyymmddThhmmssZ>.zip". The folder stays.

#include "collect/collector.h"
#include "collect/zip_archive.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

enum class ArchiveOutcome { Made, Cancelled, Failed };

struct ArchiveResult {
    ArchiveOutcome Outcome = ArchiveOutcome::Failed;
    // The archive's full path; it exists only when Made.
    std::wstring Path;
    // What failed, with the system's code and text where there is one.
    std::wstring Error;
};

// "QXDIAG-<computerName>-<yyyymmddThhmmssZ>.zip" for seconds since 1970 UTC.
std::wstring ArchiveFileName(std::wstring_view computerName, std::int64_t secondsSince1970);

// Archives the request's OutputFolder with its own name at the head of every
// member, as a new file in the folder above it (never replacing one), showing
// the step through `progress`. Stops at the user's cancel; a cancelled or
// failed archive is deleted.
ArchiveResult ArchiveOutputFolder(CollectionProgress& progress, std::uint64_t zip64Threshold = kZip64Threshold);

}  // namespace qx
