#include "collectors/event_log_export.h"

#include "collect/run_log.h"
#include "collectors/event_logs.h"
#include "collectors/file_collectors.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/system.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace qx {
namespace {

constexpr std::int64_t kHour = 60 * 60;
constexpr std::int64_t kDay = 24 * kHour;

struct TimeWindow {
    // Both 0 when the whole log is wanted.
    std::int64_t Start = 0;
    std::int64_t End = 0;
};

// By the period combo's index; an index the combo does not have means 7 days.
TimeWindow WindowOfPeriod(int periodIndex, std::int64_t now)
{
    switch (periodIndex) {
    case 0: return {now - 48 * kHour, now};
    case 2: return {now - 30 * kDay, now};
    case 3: return {now - 60 * kDay, now};
    case 4: return {};
    default: return {now - 7 * kDay, now};
    }
}

// Audit keywords: bit 53 marks success, bit 52 failure. Both kinds want no
// condition besides the window.
std::wstring AuditFilter(bool success, bool failure)
{
    if (success && !failure) return L"band(Keywords,9007199254740992)";
    if (failure && !success) return L"band(Keywords,4503599627370496)";
    return {};
}

bool AnyOf(const std::array<BYTE, 4>& levels)
{
    return std::any_of(levels.begin(), levels.end(), [](BYTE level) { return level != 0; });
}

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

std::wstring WevtutilParameters(const std::wstring& channel, const std::wstring& outputPath,
                                const std::wstring& condition, std::int64_t windowStart, std::int64_t windowEnd)
{
    // The path is quoted so that a folder with blanks stays one argument.
    std::wstring parameters = L"epl " + channel + L" " + Quoted(outputPath);
    std::wstring query;
    if (!condition.empty()) query = L"*[System[" + condition + L"]]";
    if (windowStart != 0) {
        if (!query.empty()) query += L" and ";
        query += L"*[System[TimeCreated[@SystemTime>='" + FormatXPathTime(windowStart) + L"' and @SystemTime<'" +
                 FormatXPathTime(windowEnd) + L"']]]";
    }
    if (!query.empty()) parameters += L" " + Quoted(L"/q:" + query);
    return parameters;
}

std::wstring SystemDirectory()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// The locales whose message texts go with each export, so that Event Viewer on
// another machine can show them: the user's UI language, and en-US when that
// is another.
std::vector<std::wstring> MetadataLocales()
{
    std::vector<std::wstring> locales;
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) >
        0) {
        locales.emplace_back(name);
    }
    if (locales.empty() || ::CompareStringOrdinal(locales[0].c_str(), -1, L"en-US", -1, TRUE) != CSTR_EQUAL) {
        locales.emplace_back(L"en-US");
    }
    return locales;
}

class WevtutilSaver : public EventLogSaver {
public:
    WevtutilSaver(CollectionProgress& progress, const std::wstring& runLogPath, std::int64_t now, DWORD timeLimitMs)
        : progress_(progress), request_(progress.Request()), runLogPath_(runLogPath),
          window_(WindowOfPeriod(request_.PeriodIndex, now)), timeLimitMs_(timeLimitMs), locales_(MetadataLocales())
    {
    }

    std::wstring_view Extension() const override { return kExportedLogExtension; }

    bool Wanted(const EventLogStep& step) const override
    {
        switch (step.Log) {
        case EventLog::System: return AnyOf(request_.SystemLevels) || request_.VerboseEvents;
        case EventLog::Application: return AnyOf(request_.ApplicationLevels) || request_.VerboseEvents;
        case EventLog::Security: return request_.SecurityAuditSuccess || request_.SecurityAuditFailure;
        default: return true;
        }
    }

    void LogStep(const EventLogStep& step, const std::wstring& fileName) const override
    {
        AppendRunLogEntry(runLogPath_, L"export eventlog '" + std::wstring(step.Name) + L"'");
        AppendRunLogLine(runLogPath_, L"\tfile: " + fileName);
        std::wstring filter = L"\tfilter: " + FormatLogTime(window_.Start) + L"~" + FormatLogTime(window_.End);
        if (HasCondition(step)) filter += L" AND " + Condition(step);
        AppendRunLogLine(runLogPath_, filter);
        std::wstring locales = L"\tlocale: ";
        for (std::size_t i = 0; i < locales_.size(); ++i) locales += (i ? L", " : L"") + locales_[i];
        AppendRunLogLine(runLogPath_, locales);
    }

    bool Save(const EventLogStep& step, const std::wstring& outputPath) const override
    {
        // A channel name with a blank goes in quotes to stay one argument.
        const bool blank = step.Name.find(L' ') != std::wstring_view::npos;
        const std::wstring channel = blank ? Quoted(step.Name) : std::wstring(step.Name);
        const RunResult run = RunWevtutilExport(channel, outputPath, Condition(step), window_.Start, window_.End,
                                                timeLimitMs_, [this] { return progress_.CancelRequested(); });
        const std::wstring error = L"export eventlog '" + std::wstring(step.Name) + L"' error. ";
        switch (run.End) {
        case RunEnd::Ended:
            if (::GetFileAttributesW(outputPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
                progress_.FileWritten(outputPath, L"");
            }
            break;
        case RunEnd::NotStarted:
            progress_.StepFailed(StepOutcome::Skipped, std::wstring(step.Name), run.Error);
            break;
        case RunEnd::TimedOut:
            progress_.StepFailed(StepOutcome::Timeout, std::wstring(step.Name), run.Error ? run.Error : ERROR_TIMEOUT);
            break;
        case RunEnd::Stopped:
            break;
        }
        if (run.End == RunEnd::TimedOut) {
            std::wstring line = error + L"wevtutil did not end within " + std::to_wstring(timeLimitMs_ / 1000) +
                                L" seconds";
            line += run.Error ? L"; ending it or deleting its file failed (" + DescribeError(run.Error) + L")."
                              : L" and was ended.";
            AppendRunLogEntry(runLogPath_, line);
        } else if (run.End == RunEnd::Stopped && run.Error) {
            AppendRunLogEntry(runLogPath_, error + L"ending the cancelled wevtutil or deleting its file failed (" +
                                               DescribeError(run.Error) + L").");
        }
        if (run.End == RunEnd::Ended) return SaveLocaleMetadata(step, outputPath);
        return run.End != RunEnd::Stopped;
    }

private:
    // wevtutil "al" for each locale, as bounded and as cancellable as the
    // export; false only when the user's cancel stopped it.
    bool SaveLocaleMetadata(const EventLogStep& step, const std::wstring& outputPath) const
    {
        const std::wstring folder = SystemDirectory();
        for (const std::wstring& locale : locales_) {
            const RunResult run = folder.empty()
                                      ? RunResult{RunEnd::NotStarted, ERROR_PATH_NOT_FOUND}
                                      : RunHiddenUntil(folder + L"\\wevtutil.exe",
                                                       L"al " + Quoted(outputPath) + L" /l:" + locale, timeLimitMs_,
                                                       [this] { return progress_.CancelRequested(); });
            const std::wstring what = L"locale metadata " + locale + L" of '" + std::wstring(step.Name) + L"'";
            if (run.End == RunEnd::Stopped) return false;
            if (run.End == RunEnd::TimedOut || run.End == RunEnd::NotStarted) {
                const DWORD error = run.Error ? run.Error : ERROR_TIMEOUT;
                progress_.StepFailed(run.End == RunEnd::TimedOut ? StepOutcome::Timeout : StepOutcome::Skipped, what,
                                     error);
                AppendRunLogEntry(runLogPath_, L"export eventlog '" + std::wstring(step.Name) + L"' error. " + what +
                                                   L" failed (" + DescribeError(error) + L").");
            }
        }
        // What wevtutil wrote beside the export: "LocaleMetaData\<stem>_<locale>.MTA".
        const std::wstring metadata = JoinPath(outputPath.substr(0, outputPath.rfind(L'\\')), L"LocaleMetaData");
        std::vector<std::wstring> files;
        if (!metadata.empty()) FindFilesByPattern(metadata, std::wstring(step.FileStem) + L"_*.MTA", files);
        for (const std::wstring& file : files) {
            ApplyOpenAccess(file);
            progress_.FileWritten(file, L"");
        }
        return true;
    }

    static bool HasCondition(const EventLogStep& step)
    {
        return step.Log == EventLog::System || step.Log == EventLog::Application || step.Log == EventLog::Security;
    }

    std::wstring Condition(const EventLogStep& step) const
    {
        switch (step.Log) {
        case EventLog::System: return BuildLevelFilter(request_.SystemLevels, request_.VerboseEvents);
        case EventLog::Application: return BuildLevelFilter(request_.ApplicationLevels, request_.VerboseEvents);
        case EventLog::Security: return AuditFilter(request_.SecurityAuditSuccess, request_.SecurityAuditFailure);
        default: return {};
        }
    }

    CollectionProgress& progress_;
    const CollectRequest& request_;
    const std::wstring& runLogPath_;
    TimeWindow window_;
    DWORD timeLimitMs_;
    std::vector<std::wstring> locales_;
};

}  // namespace

bool ExportEventLogs(CollectionProgress& progress, const std::wstring& runLogPath)
{
    return ExportEventLogsAt(progress, runLogPath, static_cast<std::int64_t>(std::time(nullptr)));
}

bool ExportEventLogsAt(CollectionProgress& progress, const std::wstring& runLogPath, std::int64_t now,
                       DWORD timeLimitMs)
{
    return SaveEventLogs(progress, runLogPath, WevtutilSaver(progress, runLogPath, now, timeLimitMs));
}

RunResult RunWevtutilExport(const std::wstring& channel, const std::wstring& outputPath,
                            const std::wstring& condition, std::int64_t windowStart, std::int64_t windowEnd,
                            DWORD timeLimitMs, const std::function<bool()>& cancelled)
{
    // wevtutil refuses to overwrite an existing file; one that stays is not ours to open up.
    const bool cleared = DeleteIfPresent(outputPath);
    // By its full path: the tool runs elevated, and a wevtutil.exe planted beside
    // it or in the working folder must never be the one that runs.
    const std::wstring folder = SystemDirectory();
    if (folder.empty()) return {RunEnd::NotStarted, ERROR_PATH_NOT_FOUND};
    RunResult run = RunHiddenUntil(folder + L"\\wevtutil.exe",
                                   WevtutilParameters(channel, outputPath, condition, windowStart, windowEnd),
                                   timeLimitMs, cancelled);
    switch (run.End) {
    case RunEnd::NotStarted:
        break;
    case RunEnd::Ended:
        // A file from before that could not be deleted keeps its own security.
        if (cleared) ApplyOpenAccess(outputPath);
        break;
    case RunEnd::Stopped:
    case RunEnd::TimedOut:
        // An export cut short is no export.
        if (!run.Error && !::DeleteFileW(outputPath.c_str())) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) run.Error = error;
        }
        break;
    }
    return run;
}

std::wstring FormatXPathTime(std::int64_t secondsSince1970)
{
    // The same UTC calendar fields as the run log's time, in XPath's punctuation.
    std::wstring text = FormatLogTime(secondsSince1970);
    std::replace(text.begin(), text.end(), L'/', L'-');
    std::replace(text.begin(), text.end(), L' ', L'T');
    return text;
}

std::wstring BuildLevelFilter(const std::array<BYTE, 4>& levels, bool verbose)
{
    const auto [information, warning, error, critical] = levels;
    std::wstring filter;
    if (information) filter += L"(Level=4) or (Level=0)";
    if (warning) filter += L" or (Level=3)";
    if (error) filter += L" or (Level=2)";
    if (critical) filter += L" or (Level=1)";
    if (verbose) filter += L" or (Level=5)";
    // Drops the " or " that leads when information is not chosen; what follows
    // always starts with "(".
    filter.erase(0, filter.find_first_not_of(L" or"));
    return L"(" + filter + L")";
}

}  // namespace qx
