#include "qxcollect/unattended_run.h"

#include "collect/collection_run.h"
#include "collect/folder_archive.h"
#include "collect/output_folder.h"
#include "collect/run_log.h"
#include "collectors/file_collectors.h"
#include "platform/console.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "qxcollect/command_line.h"
#include "resource.h"

#include <atomic>
#include <cwchar>
#include <iterator>

namespace qx {
namespace {

std::atomic<bool> cancelRequested{false};

void Report(const std::wstring& text) { WriteConsoleLine(STD_ERROR_HANDLE, text); }

// One line when a step starts, as its bar passes each tenth, and with its last
// status at 100.
class ConsoleProgress : public CollectionProgress {
public:
    ConsoleProgress(const CollectRequest& request, bool quiet, const UnattendedSeams& seams)
        : request_(request), quiet_(quiet), seams_(seams)
    {
    }

    const CollectRequest& Request() const override { return request_; }
    bool CancelRequested() const override { return cancelRequested.load(); }
    void Pause(DWORD milliseconds) override { ::Sleep(milliseconds); }

    void SetStepTitle(const std::wstring& text) override
    {
        title_ = text;
        status_.clear();
        position_ = 0;
        Print();
        if (seams_.stepStarted) seams_.stepStarted(text);
    }

    void SetStatus(const std::wstring& text) override
    {
        status_ = text;
        if (position_ == 100) Print();
    }

    void SetProgress(int position) override
    {
        const bool nextTenth = position < 100 && position / 10 > position_ / 10;
        position_ = position;
        if (nextTenth) Print();
    }

    // Each failure the run's manifest lists: a copy error, an export that timed out or was skipped.
    void StepFailed(StepOutcome, const std::wstring&, DWORD) override { ++failures_; }
    int Failures() const { return failures_; }

private:
    void Print() const
    {
        if (quiet_) return;
        wchar_t percent[8] = {};
        std::swprintf(percent, std::size(percent), L"%3d%%", position_);
        Report(std::wstring(percent) + L" " + title_ + (status_.empty() ? L"" : L" " + status_));
    }

    const CollectRequest& request_;
    bool quiet_;
    const UnattendedSeams& seams_;
    std::wstring title_;
    std::wstring status_;
    int position_ = 0;
    int failures_ = 0;
};

int OutputNotWritable(const std::wstring& what)
{
    Report(FormatResourceString(IDS_CLI_OUTPUT_FAILED, what));
    return kExitNotElevatedOrNotWritable;
}

// The --out folder as a full path; empty when it does not fit MAX_PATH.
std::wstring FullPath(const std::wstring& folder, DWORD& error)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameW(folder.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
    error = length == 0 ? ::GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    return length > 0 && length < std::size(full) ? std::wstring(full, length) : std::wstring();
}

}  // namespace

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    cancelRequested = true;
    return TRUE;
}

int RunUnattended(const std::vector<std::wstring>& arguments, const UnattendedSeams& seams)
{
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.Ok) {
        Report(FormatResourceString(IDS_CLI_BAD_OPTION, parsed.Error));
        Report(LoadResourceString(IDS_CLI_USAGE));
        return kExitUsage;
    }
    UnattendedOptions options = parsed.Options;
    if (options.Help) {
        WriteConsoleLine(STD_OUTPUT_HANDLE, LoadResourceString(IDS_CLI_USAGE));
        return kExitComplete;
    }
    if (!IsElevated()) {
        Report(LoadResourceString(IDS_CLI_NOT_ELEVATED));
        return kExitNotElevatedOrNotWritable;
    }

    DWORD error = ERROR_SUCCESS;
    const std::wstring out = FullPath(options.OutFolder, error);
    if (out.empty()) return OutputNotWritable(options.OutFolder + L": " + DescribeError(error));
    CollectRequest& request = options.Request;
    if (const DWORD failure = PrepareOutputFolder(request, out); failure != ERROR_SUCCESS) {
        return OutputNotWritable(out + L"\\QXDIAG: " + DescribeError(failure));
    }
    if (!::SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        Report(L"SetConsoleCtrlHandler: " + DescribeError(::GetLastError()));
    }

    CollectionPlan plan = DefaultCollectionPlan();
    if (options.AllUsers) {
        for (CollectionStep& step : plan.Steps) {
            if (step.Run == CollectVorlixFiles) step.Run = CollectVorlixFilesOfAllUsers;
        }
    }
    ConsoleProgress progress(request, options.Quiet, seams);
    switch (RunCollection(progress, plan)) {
    case RunOutcome::Completed: break;
    case RunOutcome::Stopped:
        Report(LoadResourceString(IDS_COLLECT_CANCELLED));
        return kExitCancelled;
    default: return OutputNotWritable(RunLogPath(request.OutputFolder) + L": " + DescribeError(::GetLastError()));
    }

    std::wstring made = request.OutputFolder;
    if (options.Zip) {
        const ArchiveResult archive = ArchiveOutputFolder(progress);
        if (archive.Outcome == ArchiveOutcome::Cancelled) {
            Report(LoadResourceString(IDS_ARCHIVE_CANCELLED));
            return kExitCancelled;
        }
        if (archive.Outcome == ArchiveOutcome::Failed) {
            Report(FormatResourceString(IDS_ARCHIVE_FAILED, archive.Error));
            return kExitNotElevatedOrNotWritable;
        }
        made = archive.Path;
    }
    if (progress.Failures()) Report(FormatResourceString(IDS_CLI_FAILURES, std::to_wstring(progress.Failures())));
    WriteConsoleLine(STD_OUTPUT_HANDLE, made);
    return progress.Failures() ? kExitCompletedWithFailures : kExitComplete;
}

}  // namespace qx
