// The archive: the tool's ZIP of a 1 GiB collection against Debian's `zip -6`
// of the same folder, run by run, with the peak memory of each. The tool's
// archive runs in a child (this program with --archive-child) so that its peak
// is its own; zip runs natively, timed and measured by bench/native_zip.py.

#include "measures.h"

#include "collect/collector.h"
#include "collect/folder_archive.h"
#include "collect/run_log.h"
#include "collectors/file_collectors.h"
#include "files_fixture.h"
#include "platform/files.h"
#include "platform/handles.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace qx::bench {
namespace {

class NoDialog : public CollectionProgress {
public:
    explicit NoDialog(const std::wstring& outputFolder) { request_.OutputFolder = outputFolder; }
    const CollectRequest& Request() const override { return request_; }
    bool CancelRequested() const override { return false; }
    void SetStepTitle(const std::wstring&) override {}
    void SetStatus(const std::wstring&) override {}
    void SetProgress(int) override {}
    // The collectors' fixed pauses are no part of making the archive.
    void Pause(DWORD) override {}

private:
    CollectRequest request_;
};

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

struct ChildFigures {
    double seconds = -1;
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPrivate = 0;
};

// Runs `commandLine` and samples its memory every 10 ms until it ends.
ChildFigures RunSampled(const std::wstring& program, std::wstring commandLine)
{
    ChildFigures figures;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info)) {
        return figures;
    }
    UniqueHandleKernel process(info.hProcess);
    UniqueHandleKernel thread(info.hThread);
    while (::WaitForSingleObject(process.get(), 10) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (::GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) {
            figures.peakWorkingSet = std::max(figures.peakWorkingSet, counters.PeakWorkingSetSize);
            figures.peakPrivate = std::max(figures.peakPrivate, counters.PeakPagefileUsage);
        }
    }
    const double seconds = Now() - start;
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    if (code == 0) figures.seconds = seconds;
    return figures;
}

// Debian's zip of `folder` into `archive`, through Wine's start /unix; its own
// seconds and peak resident size in MiB, or nothing when it failed. start.exe
// may end before the Unix program it started: the wrapper's result file,
// written whole at its end, is what is waited for.
std::optional<std::pair<double, double>> NativeZip(const std::wstring& folder, const std::wstring& archive,
                                                   const std::wstring& result)
{
    ::DeleteFileW(result.c_str());
    const std::wstring parent = folder.substr(0, folder.rfind(L'\\'));
    const std::wstring name = folder.substr(folder.rfind(L'\\') + 1);
    std::wstring commandLine = L"start.exe /wait /unix /usr/bin/python3";
    for (const std::string& argument : {std::string(QX_BENCH_SOURCE_DIR "/native_zip.py"), test::UnixPath(parent),
                                        Narrow(name), test::UnixPath(archive), test::UnixPath(result)}) {
        commandLine += L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
    }
    if (TimeProgram(L"C:\\windows\\system32\\start.exe", commandLine) < 0) {
        std::fprintf(stderr, "archive: failed: %s\n", Narrow(commandLine).c_str());
        return std::nullopt;
    }
    const double deadline = Now() + 3600;
    while (::GetFileAttributesW(result.c_str()) == INVALID_FILE_ATTRIBUTES && Now() < deadline) ::Sleep(50);
    double seconds = 0;
    double peakKiB = 0;
    int code = -1;
    if (std::sscanf(test::ReadBytes(result).c_str(), "%lf %lf %d", &seconds, &peakKiB, &code) != 3 || code != 0) {
        std::fprintf(stderr, "archive: no figures from %s\n", Narrow(commandLine).c_str());
        return std::nullopt;
    }
    return std::make_pair(seconds, peakKiB / 1024);
}

std::optional<std::wstring> OnlyZipIn(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    UniqueHandleFind find(::FindFirstFileW((folder + L"\\QXDIAG-*.zip").c_str(), &found));
    if (!find) return std::nullopt;
    return folder + L"\\" + found.cFileName;
}

unsigned long long SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

unsigned long long BytesBelow(const std::wstring& folder)
{
    unsigned long long bytes = 0;
    WIN32_FIND_DATAW found;
    UniqueHandleFind find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find) return 0;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            bytes += BytesBelow(folder + L"\\" + name);
        } else {
            bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        }
    } while (::FindNextFileW(find.get(), &found));
    return bytes;
}

}  // namespace

int ArchiveChild(const std::wstring& outputFolder)
{
    NoDialog progress(outputFolder);
    const ArchiveResult archive = ArchiveOutputFolder(progress);
    if (archive.Outcome != ArchiveOutcome::Made) std::fprintf(stderr, "archive: %s\n", Narrow(archive.Error).c_str());
    return archive.Outcome == ArchiveOutcome::Made ? 0 : 1;
}

void ArchiveBench(const Options& options, Table& table)
{
    if (!RoomOnC("archive", 4ull * (static_cast<unsigned long long>(options.largeMiB) << 20), table)) return;
    double start = Now();
    test::TempFolder base(L"bench-archive");
    const std::wstring output = base.Path() + L"\\QXDIAG";
    {
        CopyMaterial material(options.largeMiB, options.smallFiles);
        for (const wchar_t* sub : {L"debug", L"dump", L"vorlix"}) CreateFolderTree(output + L"\\" + sub);
        NoDialog progress(output);
        const std::wstring runLog = RunLogPath(output);
        CollectDebugLogs(progress, runLog);
        CollectCrashDumps(progress, runLog);
        CollectDumpLogs(progress, runLog);
        CollectVorlixFiles(progress, runLog);
    }
    const unsigned long long bytes = BytesBelow(output);
    std::fprintf(stderr, "archive: a collection of %llu MiB made in %.1f s\n", bytes >> 20, Now() - start);

    Series toolSeconds, zipSeconds, toolPeak, toolPrivate, zipPeak, toolRatio, zipRatio;
    const std::wstring zipArchive = base.Path() + L"\\native.zip";
    const std::wstring zipResult = base.Path() + L"\\native.txt";
    for (int run = 0; run < options.runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((run + turn) % 2 == 0) {
                const ChildFigures child =
                    RunSampled(OwnPath(), L"qxdiag_bench.exe --archive-child \"" + output + L"\"");
                const std::optional<std::wstring> made = OnlyZipIn(base.Path());
                if (child.seconds < 0 || !made) {
                    std::fprintf(stderr, "archive: run %d: the tool's archive failed\n", run + 1);
                    continue;
                }
                toolSeconds.Add(child.seconds);
                toolPeak.Add(static_cast<double>(child.peakWorkingSet) / (1 << 20));
                toolPrivate.Add(static_cast<double>(child.peakPrivate) / (1 << 20));
                toolRatio.Add(static_cast<double>(SizeOf(*made)) / static_cast<double>(bytes));
                ::DeleteFileW(made->c_str());
            } else {
                const auto zip = NativeZip(output, zipArchive, zipResult);
                if (!zip) {
                    std::fprintf(stderr, "archive: run %d: zip -6 failed\n", run + 1);
                    continue;
                }
                zipSeconds.Add(zip->first);
                zipPeak.Add(zip->second);
                zipRatio.Add(static_cast<double>(SizeOf(zipArchive)) / static_cast<double>(bytes));
                ::DeleteFileW(zipArchive.c_str());
            }
        }
        std::fprintf(stderr, "archive: run %d done\n", run + 1);
    }

    const std::string what = "archive of the collection (" + std::to_string(bytes >> 20) + " MiB)";
    Row vsZip{what + ": the tool's ZIP", "MiB/s", Throughput(toolSeconds, bytes), "zip -6 (Debian, native)",
              Ratios(zipSeconds, toolSeconds), ">= 0.8x", ""};
    vsZip.verdict = Verdict(vsZip.ratio.Median() >= 0.8);
    table.Add(vsZip);
    table.Add({what + ": zip -6 (Debian, native)", "MiB/s", Throughput(zipSeconds, bytes), "", {}, "", ""});
    Row peak{"  peak working set of the tool's archive (whole Wine process)", "MiB", toolPeak, "", {}, "< 64 MiB", ""};
    peak.verdict = Verdict(toolPeak.Max() < 64);
    table.Add(peak);
    table.Add({"  peak private bytes of the tool's archive", "MiB", toolPrivate, "", {}, "", ""});
    table.Add({"  peak resident size of zip -6", "MiB", zipPeak, "", {}, "", ""});
    table.Add({"  archive size / collection size: the tool", "ratio", toolRatio, "", {}, "", ""});
    table.Add({"  archive size / collection size: zip -6", "ratio", zipRatio, "", {}, "", ""});
}

}  // namespace qx::bench
