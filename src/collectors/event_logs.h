#pragma once
// The event-log item of a collection: six logs saved one after another into the
// "event" sub-folder, with the same texts, progress positions and cancel checks
// whether they are exported by wevtutil (Vista and later) or backed up whole by
// the event-log service (before Vista).

#include "collect/collector.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

enum class EventLog { Tovra, TovraSecurity, Vorlix, System, Application, Security };

struct EventLogStep {
    EventLog Log;
    // The log's name as the event-log service knows it.
    std::wstring_view Name;
    // The output file's name without its extension.
    std::wstring_view FileStem;
    // String-table texts for the status line; 0 leaves it as it is.
    UINT StatusBefore;
    int Bar;
    UINT StatusAfter;
    // The user's cancel is looked at after this step, whether or not it ran.
    bool CancelCheckAfter;
};

extern const std::array<EventLogStep, 6> kEventLogSteps;

// The output files' extensions: exported by wevtutil, and backed up before Vista.
inline constexpr std::wstring_view kExportedLogExtension = L".evtx";
inline constexpr std::wstring_view kBackedUpLogExtension = L".evt";

// Every file the event-log item can write on this Windows, relative to the
// output folder.
std::vector<std::wstring> EventLogFiles();

// What differs between the two ways of saving a log.
class EventLogSaver {
public:
    // The file-name extension, with its dot.
    virtual std::wstring_view Extension() const = 0;
    virtual bool Wanted(const EventLogStep& step) const = 0;
    // Writes the step's run-log lines; `fileName` has no folder.
    virtual void LogStep(const EventLogStep& step, const std::wstring& fileName) const = 0;
    // False when the user's cancel stopped the save; the log is then not saved.
    virtual bool Save(const EventLogStep& step, const std::wstring& outputPath) const = 0;

protected:
    ~EventLogSaver() = default;
};

// Runs the six steps with `saver`: step title, progress, status texts, the cancel
// checks and the closing pause. False when the user cancelled.
bool SaveEventLogs(CollectionProgress& progress, const std::wstring& runLogPath, const EventLogSaver& saver);

// The current size in bytes of the files the event-log service keeps the six
// logs in, as far as they are found: what an export of them needs at most.
std::uint64_t EventLogFileBytes();

// The worker's step for the event-log item: ExportEventLogs on Vista and later,
// BackupEventLogs before.
bool CollectEventLogs(CollectionProgress& progress, const std::wstring& runLogPath);

}  // namespace qx
