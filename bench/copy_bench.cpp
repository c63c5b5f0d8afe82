// Copying: the file collectors (their fixed pauses skipped and counted apart)
// against a bare CopyFileW loop over the same files and against xcopy, on
// generated large files (debug logs and dumps) and many small Vorlix files.

#include "measures.h"

#include "collect/collection_record.h"
#include "collect/collector.h"
#include "collect/run_log.h"
#include "collectors/file_collectors.h"
#include "files_fixture.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/hash.h"
#include "settings/product_settings.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

namespace qx::bench {
namespace {

std::wstring ShellFolder(int csidl)
{
    wchar_t buffer[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
    return buffer;
}

// Where the collectors look, with their patterns and sub-folders: what the bare
// loop and xcopy copy too.
struct Source {
    std::wstring folder;
    std::wstring pattern;
    std::wstring subFolder;
};

std::vector<Source> LargeSources()
{
    const std::wstring log = DebugLogFolder();
    const std::wstring tovra = ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Orvek\\TOVRA";
    return {{log, L"*.txt", L"debug"},   {L"C:\\log", L"*.log", L"debug"}, {tovra, L"*.mdmp", L"dump"},
            {log, L"*.dmp", L"dump"},    {tovra, L"*.log", L"dump"}};
}

std::vector<Source> SmallSources() { return {{ShellFolder(CSIDL_APPDATA) + L"\\Orvek\\VLXForTOVRA", L"*.*", L"vorlix"}}; }

bool WriteFileOfSize(const std::wstring& path, unsigned long long size)
{
    UniqueHandleFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;
    static const std::string chunk = [] {
        std::string bytes(1 << 20, '\0');
        unsigned state = 12345;
        for (char& c : bytes) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
        return bytes;
    }();
    while (size > 0) {
        const DWORD part = static_cast<DWORD>(std::min<unsigned long long>(size, chunk.size()));
        DWORD written = 0;
        if (!::WriteFile(file.get(), chunk.data(), part, &written, nullptr) || written != part) return false;
        size -= part;
    }
    return true;
}

struct Copy {
    std::wstring source;
    std::wstring destination;
};

std::vector<Copy> CopiesOf(const std::vector<Source>& sources, const std::wstring& outputFolder)
{
    std::vector<Copy> copies;
    for (const Source& source : sources) {
        std::vector<std::wstring> files;
        FindFilesByPattern(source.folder, source.pattern, files);
        for (const std::wstring& file : files) {
            copies.push_back({file, outputFolder + L"\\" + source.subFolder + L"\\" + FileNameOfPath(file)});
        }
    }
    return copies;
}

class NoDialog : public CollectionProgress {
public:
    explicit NoDialog(const std::wstring& outputFolder) { request_.OutputFolder = outputFolder; }
    const CollectRequest& Request() const override { return request_; }
    bool CancelRequested() const override { return false; }
    void SetStepTitle(const std::wstring&) override {}
    void SetStatus(const std::wstring&) override {}
    void SetProgress(int) override {}
    // Counted instead of slept: the timings leave them out and report them apart.
    void Pause(DWORD milliseconds) override { pausedMilliseconds_ += milliseconds; }

    unsigned long long PausedMilliseconds() const { return pausedMilliseconds_; }

private:
    CollectRequest request_;
    unsigned long long pausedMilliseconds_ = 0;
};

std::wstring MakeOutputFolder(const std::wstring& base)
{
    const std::wstring folder = base + L"\\QXDIAG";
    for (const wchar_t* sub : {L"debug", L"dump", L"vorlix"}) CreateFolderTree(folder + L"\\" + sub);
    return folder;
}

struct Timing {
    double large = 0;
    double small = 0;
};

// With `hashed`, each copy is read back for its SHA-256 as a run that records
// its manifest does.
Timing RunCollectors(const std::wstring& outputFolder, unsigned long long& pauseMilliseconds, bool hashed = false)
{
    NoDialog dialog(outputFolder);
    RecordingProgress recording(dialog);
    CollectionProgress& progress = hashed ? static_cast<CollectionProgress&>(recording) : dialog;
    const std::wstring runLog = RunLogPath(outputFolder);
    Timing timing;
    double start = Now();
    CollectDebugLogs(progress, runLog);
    CollectCrashDumps(progress, runLog);
    CollectDumpLogs(progress, runLog);
    timing.large = Now() - start;
    start = Now();
    CollectVorlixFiles(progress, runLog);
    timing.small = Now() - start;
    pauseMilliseconds = dialog.PausedMilliseconds();
    return timing;
}

double CopyLoop(const std::vector<Copy>& copies)
{
    const double start = Now();
    for (const Copy& copy : copies) ::CopyFileW(copy.source.c_str(), copy.destination.c_str(), TRUE);
    return Now() - start;
}

// The two steps the collectors take for every file besides the copy, timed
// apart over copies already made: the tab line of the run log, and the NULL DACL.
struct PerFileSteps {
    double runLogLines = 0;
    double openAccess = 0;
};

PerFileSteps TimePerFileSteps(const std::vector<Copy>& copies, const std::wstring& outputFolder)
{
    PerFileSteps steps;
    const std::wstring runLog = RunLogPath(outputFolder);
    double start = Now();
    for (const Copy& copy : copies) AppendRunLogLine(runLog, L"\t" + copy.source);
    steps.runLogLines = Now() - start;
    start = Now();
    for (const Copy& copy : copies) ApplyOpenAccess(copy.destination);
    steps.openAccess = Now() - start;
    return steps;
}

double RunXcopy(const std::vector<Source>& sources, const std::wstring& outputFolder)
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring xcopy = std::wstring(system) + L"\\xcopy.exe";
    double total = 0;
    for (const Source& source : sources) {
        const double seconds = TimeProgram(xcopy, L"xcopy \"" + source.folder + L"\\" + source.pattern + L"\" \"" +
                                                      outputFolder + L"\\" + source.subFolder + L"\\\" /Q /Y");
        if (seconds < 0) std::fprintf(stderr, "copy: xcopy of %s failed\n", Narrow(source.folder).c_str());
        total += seconds;
    }
    return total;
}

unsigned long long BytesOf(const std::vector<Copy>& copies)
{
    unsigned long long bytes = 0;
    for (const Copy& copy : copies) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(copy.source.c_str(), GetFileExInfoStandard, &data))
            bytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return bytes;
}

bool SameFilesArrived(const std::vector<Copy>& copies)
{
    for (const Copy& copy : copies) {
        if (::GetFileAttributesW(copy.destination.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    }
    return true;
}

}  // namespace

CopyMaterial::CopyMaterial(int largeMiB, int smallFiles)
{
    // Eight large files: debug logs in both debug-log folders, crash dumps in both dump folders.
    const std::wstring log = DebugLogFolder();
    const std::wstring tovra = ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Orvek\\TOVRA";
    const std::wstring vorlix = ShellFolder(CSIDL_APPDATA) + L"\\Orvek\\VLXForTOVRA";
    const std::vector<std::wstring> large{log + L"\\qxbench_QXAgent_1.txt", log + L"\\qxbench_QXAgent_2.txt",
                                          log + L"\\qxbench_QXArbiter.txt", L"C:\\log\\qxbench_QXServer.log",
                                          log + L"\\qxbench_QXAgent.exe.1.dmp", log + L"\\qxbench_QXAgent.exe.2.dmp",
                                          tovra + L"\\qxbench_QXArbiter_1.mdmp", tovra + L"\\qxbench_QXArbiter_2.mdmp"};
    const unsigned long long each = (static_cast<unsigned long long>(largeMiB) << 20) / large.size();
    for (const std::wstring& file : large) {
        files_.push_back(file);
        if (WriteFileOfSize(file, each)) largeBytes_ += each;
    }
    for (int i = 0; i < smallFiles; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"\\qxbench_%05d.vlx", i);
        const unsigned long long size = 512ull * (1 + i % 16);  // 0.5 to 8 KiB
        files_.push_back(vorlix + name);
        if (WriteFileOfSize(files_.back(), size)) smallBytes_ += size;
    }
}

CopyMaterial::~CopyMaterial()
{
    for (const std::wstring& file : files_) ::DeleteFileW(file.c_str());
}

void FileCopyBench(const Options& options, Table& table)
{
    if (!RoomOnC("copying", 3ull * (static_cast<unsigned long long>(options.largeMiB) << 20), table)) return;
    double start = Now();
    CopyMaterial material(options.largeMiB, options.smallFiles);
    std::fprintf(stderr, "copy: %llu MiB in large files and %d small files made in %.1f s\n",
                 material.LargeBytes() >> 20, options.smallFiles, Now() - start);

    test::TempFolder base(L"bench-copy");
    const std::wstring output = base.Path() + L"\\QXDIAG";
    const std::vector<Copy> largeCopies = CopiesOf(LargeSources(), output);
    const std::vector<Copy> smallCopies = CopiesOf(SmallSources(), output);
    // The fake machine's own few files are copied too, by all three.
    const unsigned long long largeBytes = BytesOf(largeCopies);
    const unsigned long long smallBytes = BytesOf(smallCopies);

    Series toolLarge, toolSmall, toolAll, loopLarge, loopSmall, loopAll, xcopyLarge, xcopySmall, xcopyAll, pauses;
    Series smallRunLogLines, smallOpenAccess;
    for (int run = 0; run < options.runs; ++run) {
        for (int turn = 0; turn < 3; ++turn) {
            MakeOutputFolder(base.Path());
            bool arrived = true;
            switch ((run + turn) % 3) {
            case 0: {
                unsigned long long pauseMilliseconds = 0;
                const Timing timing = RunCollectors(output, pauseMilliseconds);
                toolLarge.Add(timing.large);
                toolSmall.Add(timing.small);
                toolAll.Add(timing.large + timing.small);
                pauses.Add(static_cast<double>(pauseMilliseconds) / 1000);
                arrived = SameFilesArrived(largeCopies) && SameFilesArrived(smallCopies);
                break;
            }
            case 1: {
                const double large = CopyLoop(largeCopies);
                const double small = CopyLoop(smallCopies);
                loopLarge.Add(large);
                loopSmall.Add(small);
                loopAll.Add(large + small);
                arrived = SameFilesArrived(largeCopies) && SameFilesArrived(smallCopies);
                const PerFileSteps steps = TimePerFileSteps(smallCopies, output);
                smallRunLogLines.Add(steps.runLogLines);
                smallOpenAccess.Add(steps.openAccess);
                break;
            }
            default: {
                const double large = RunXcopy(LargeSources(), output);
                const double small = RunXcopy(SmallSources(), output);
                xcopyLarge.Add(large);
                xcopySmall.Add(small);
                xcopyAll.Add(large + small);
                arrived = SameFilesArrived(largeCopies) && SameFilesArrived(smallCopies);
                break;
            }
            }
            if (!arrived) std::fprintf(stderr, "copy: run %d turn %d did not copy every file\n", run, turn);
            DeleteFolderTree(output);
        }
        std::fprintf(stderr, "copy: run %d done\n", run + 1);
    }

    // Throughput ratios are time ratios upside down: reference time / tool time.
    auto add = [&](const std::string& what, unsigned long long bytes, const Series& tool, const Series& loop,
                   const Series& xcopy) {
        Row vsLoop{what + ": file collectors, pauses skipped", "MiB/s", Throughput(tool, bytes),
                   "bare CopyFileW loop", Ratios(loop, tool), ">= 0.9x", ""};
        vsLoop.verdict = Verdict(vsLoop.ratio.Median() >= 0.9);
        table.Add(vsLoop);
        Row vsXcopy{what + ": file collectors, pauses skipped", "MiB/s", Throughput(tool, bytes), "xcopy",
                    Ratios(xcopy, tool), ">= 0.9x", ""};
        vsXcopy.verdict = Verdict(vsXcopy.ratio.Median() >= 0.9);
        table.Add(vsXcopy);
        table.Add({what + ": bare CopyFileW loop", "MiB/s", Throughput(loop, bytes), "", {}, "", ""});
        table.Add({what + ": xcopy (one run per source folder and pattern)", "MiB/s", Throughput(xcopy, bytes), "",
                   {}, "", ""});
    };
    const std::string large = std::to_string(largeCopies.size()) + " large files, " +
                              std::to_string(largeBytes >> 20) + " MiB";
    const std::string small = std::to_string(smallCopies.size()) + " small Vorlix files, " +
                              std::to_string(smallBytes >> 20) + " MiB";
    add("copy all: " + large + " + " + small, largeBytes + smallBytes, toolAll, loopAll, xcopyAll);
    add("  " + large, largeBytes, toolLarge, loopLarge, xcopyLarge);
    add("  " + small, smallBytes, toolSmall, loopSmall, xcopySmall);
    table.Add({"    split: their " + std::to_string(smallCopies.size()) + " run-log tab lines alone (AppendRunLogLine)",
               "s", smallRunLogLines, "", {}, "", ""});
    table.Add({"    split: their NULL DACLs alone (ApplyOpenAccess)", "s", smallOpenAccess, "", {}, "", ""});
    table.Add({"    split: the bare CopyFileW loop over them", "s", loopSmall, "", {}, "", ""});
    table.Add({"  the collectors' fixed pauses in those steps (skipped above, counted apart)", "s", pauses, "", {},
               "", ""});
    Series sleep20;
    for (int i = 0; i < 50; ++i) {
        start = Now();
        ::Sleep(20);
        sleep20.Add((Now() - start) * 1000);
    }
    table.Add({"  one Sleep(20) pause as Wine keeps it", "ms", sleep20, "", {}, "", ""});
}

void HashBench(const Options& options, Table& table)
{
    if (!RoomOnC("hashing", 3ull * (static_cast<unsigned long long>(options.largeMiB) << 20), table)) return;
    CopyMaterial material(options.largeMiB, 0);
    test::TempFolder base(L"bench-hash");
    const std::wstring output = base.Path() + L"\\QXDIAG";
    const std::vector<Copy> copies = CopiesOf(LargeSources(), output);
    const unsigned long long bytes = BytesOf(copies);

    Series plain, hashed, digest, sha256sum;
    for (int run = 0; run < options.runs; ++run) {
        // Alternating which goes first, so that neither always meets a cold cache.
        for (const bool withHashes : {run % 2 == 0, run % 2 != 0}) {
            MakeOutputFolder(base.Path());
            unsigned long long pauseMilliseconds = 0;
            (withHashes ? hashed : plain).Add(RunCollectors(output, pauseMilliseconds, withHashes).large);
            DeleteFolderTree(output);
        }
        // The sources once more: Windows CNG through DigestFile, and sha256sum on the Linux side.
        double start = Now();
        for (const Copy& copy : copies) {
            FileDigest ignored;
            DigestFile(copy.source, ignored);
        }
        digest.Add(Now() - start);
        std::vector<std::string> arguments;
        for (const Copy& copy : copies) arguments.push_back(test::UnixPath(copy.source));
        start = Now();
        if (test::RunUnixProgram("/usr/bin/sha256sum", arguments)) sha256sum.Add(Now() - start);
        std::fprintf(stderr, "hash: run %d done\n", run + 1);
    }
    const Series cost = Ratios(hashed, plain);
    table.Add({"large files: file collectors with the manifest's hashing", "s", hashed, "without hashing", cost,
               "<= 1.10x", Verdict(cost.Median() <= 1.10)});
    table.Add({"large files: file collectors without hashing", "s", plain, "", {}, "", ""});
    table.Add({"SHA-256 by DigestFile (Windows CNG)", "MiB/s", Throughput(digest, bytes), "sha256sum",
               Ratios(sha256sum, digest), "", ""});
    table.Add({"SHA-256 by sha256sum (Linux, through start /unix)", "MiB/s", Throughput(sha256sum, bytes), "", {}, "",
               ""});
}

}  // namespace qx::bench
