#pragma once
// What a run did, step by step and file by file: kept while the run goes, by a
// progress that stands between the worker's steps and the real one, and
// written at the end as "manifest.json" and "index.html" in the output folder.

#include "collect/collector.h"
#include "platform/hash.h"

#include <windows.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

inline constexpr wchar_t kManifestName[] = L"manifest.json";
inline constexpr wchar_t kReportName[] = L"index.html";

// "done", "none", "copy error", "timeout", "skipped", "cancel".
std::wstring_view OutcomeText(StepOutcome outcome);

struct FileRecord {
    // Below the output folder, as "event\tovra.evtx".
    std::wstring RelativePath;
    // Empty for a file the run made itself.
    std::wstring Source;
    FileDigest Digest;
    // Of reading the file for its digest; the digest is empty when it failed.
    DWORD DigestError = ERROR_SUCCESS;
};

struct FailureRecord {
    std::wstring Step;
    StepOutcome Kind;
    std::wstring What;
    DWORD Error;
};

struct StepRecord {
    std::wstring Name;
    StepOutcome Outcome;
    ULONGLONG Milliseconds;
};

struct CollectionRecord {
    std::wstring OutputFolder;
    std::vector<StepRecord> Steps;
    std::vector<FileRecord> Files;
    std::vector<FailureRecord> Failures;
    // UTC, seconds since 1970.
    std::int64_t Started = 0;
    std::int64_t Finished = 0;
};

// Passes everything on to `inner` and keeps the record of the steps it is told of.
class RecordingProgress : public CollectionProgress {
public:
    explicit RecordingProgress(CollectionProgress& inner);

    const CollectRequest& Request() const override { return inner_.Request(); }
    bool CancelRequested() const override { return inner_.CancelRequested(); }
    void SetStepTitle(const std::wstring& text) override { inner_.SetStepTitle(text); }
    void SetStatus(const std::wstring& text) override { inner_.SetStatus(text); }
    void SetProgress(int position) override { inner_.SetProgress(position); }
    void Pause(DWORD milliseconds) override { inner_.Pause(milliseconds); }
    void FileWritten(const std::wstring& path, const std::wstring& source) override;
    void StepFailed(StepOutcome kind, const std::wstring& what, DWORD error) override;

    void BeginStep(std::wstring name);
    // `wentOn` false: the step stopped the run after a cancel. A step that
    // `copiesFiles` and wrote none found nothing to collect.
    void EndStep(bool wentOn, bool copiesFiles = true);
    const CollectionRecord& Record() const { return record_; }

private:
    CollectionProgress& inner_;
    CollectionRecord record_;
    // The relative paths recorded so far: a file reported twice is listed once.
    std::set<std::wstring> recorded_;
    ULONGLONG stepStart_ = 0;
    std::size_t stepFirstFile_ = 0;
    std::size_t stepFirstFailure_ = 0;
};

// Writes "manifest.json" (UTF-8, no BOM) and "index.html" into the output
// folder, each replacing whatever had its name, with open access; false when
// either cannot be written.
bool WriteManifest(const CollectionRecord& record, const CollectRequest& request);
bool WriteReport(const CollectionRecord& record, const CollectRequest& request);

// The texts as written, for the writers' tests.
std::string ManifestText(const CollectionRecord& record, const CollectRequest& request);
std::string ReportText(const CollectionRecord& record, const CollectRequest& request);

}  // namespace qx
