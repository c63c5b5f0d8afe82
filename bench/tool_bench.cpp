// The whole tool, driven from outside: its start to the menu page against a
// minimal dialog program, and a full collection with the UI's latency and the
// process's peak working set.

#include "measures.h"
#include "sleep_hook.h"

#include "driver.h"
#include "files_fixture.h"
#include "resource.h"

#include <windows.h>
#include <psapi.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <thread>

namespace qx::bench {
namespace {

using namespace qx::e2e;

constexpr wchar_t kMinimalCaption[] = L"QXBENCH";

// The bench runs from build/bench/bin, as deep as the e2e tests: the driver finds the tool.
std::wstring ToolExe() { return QxdiagExePath().wstring(); }
std::wstring MinimalExe() { return (QxdiagExePath().parent_path() / L"bench\\bin\\bench_min_dialog.exe").wstring(); }

// Polls every millisecond: the seconds from CreateProcessW until `shown` holds.
template <class Shown>
double TimeToShown(App& app, const std::wstring& exe, Shown shown)
{
    const double start = Now();
    if (!app.Start(exe)) return -1;
    while (!shown()) {
        if (!app.Running() || Now() - start > 30) return -1;
        RealSleep(1);
    }
    return Now() - start;
}

double MiB(SIZE_T bytes) { return static_cast<double>(bytes) / (1 << 20); }

std::optional<PROCESS_MEMORY_COUNTERS> MemoryOf(DWORD pid)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return std::nullopt;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    const BOOL read = ::GetProcessMemoryInfo(process, &counters, sizeof counters);
    ::CloseHandle(process);
    if (!read) return std::nullopt;
    return counters;
}

void Close(App& app, HWND main)
{
    PostSysCommand(main, SC_CLOSE);
    if (!app.WaitForExit()) app.Kill();
}

// The tool on its menu page; nullptr when it did not get there.
HWND StartToMenu(App& app)
{
    if (!app.Start(ToolExe())) return nullptr;
    HWND main = app.WaitForMainWindow();
    return main && WaitForPage(main, IDD_MENU_PAGE) ? main : nullptr;
}

bool CheckEveryItem(HWND page)
{
    for (int id : {IDC_ITEM_EVENTLOG, IDC_ITEM_DEBUGLOG, IDC_ITEM_CRASHDUMP, IDC_ITEM_REGISTRY, IDC_ITEM_VORLIX}) {
        auto checked = [&] { return ::SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED; };
        if (checked()) continue;
        if (!ClickButton(page, id) || !WaitUntil(checked)) return false;
    }
    return true;
}

struct CollectionFigures {
    Series roundTripsMs;
    double seconds = 0;
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakWorkingSetAtMenu = 0;
    SIZE_T peakSampledWorkingSet = 0;
    SIZE_T peakPagefileUsage = 0;
};

// One full collection through the tool's windows; false when a step of the
// driving failed.
bool CollectOnce(CollectionFigures& figures)
{
    App app;
    HWND main = StartToMenu(app);
    if (!main) return false;
    if (const auto memory = MemoryOf(app.ProcessId())) figures.peakWorkingSetAtMenu = memory->PeakWorkingSetSize;
    bool ok = GoFromMenu(main, IDD_EVENTLOG_PAGE) && CheckEveryItem(CurrentPageWindow(main));
    test::TempFolder chosen(L"bench-collect");
    const double start = Now();
    ok = ok && StartCollection(app, chosen.Path());
    HWND progress = ok ? WaitForDialog(app.ProcessId(), kProgressCaption, main) : nullptr;
    if (progress) {
        // Every 10 ms one WM_NULL round trip; every tenth sample also the working set.
        int sample = 0;
        for (double next = Now(); ::IsWindow(progress); next += 0.010) {
            const double sent = Now();
            DWORD_PTR result = 0;
            if (!::SendMessageTimeoutW(progress, WM_NULL, 0, 0, SMTO_NORMAL, 60'000, &result)) break;
            figures.roundTripsMs.Add((Now() - sent) * 1000);
            if (++sample % 10 == 0) {
                if (const auto memory = MemoryOf(app.ProcessId()))
                    figures.peakSampledWorkingSet = std::max(figures.peakSampledWorkingSet, memory->WorkingSetSize);
            }
            const double wait = next + 0.010 - Now();
            if (wait > 0) RealSleep(static_cast<DWORD>(wait * 1000));
        }
        ok = WaitUntilGone(progress, kRunTimeout);
    } else {
        ok = false;
    }
    const std::optional<MessageBoxView> done = ok ? WaitForMessageBox(app.ProcessId(), nullptr, kRunTimeout) : std::nullopt;
    figures.seconds = Now() - start;
    if (const auto memory = MemoryOf(app.ProcessId())) {
        figures.peakWorkingSet = memory->PeakWorkingSetSize;
        figures.peakPagefileUsage = memory->PeakPagefileUsage;
    }
    ok = ok && done && AnswerMessageBox(done->window, IDNO);
    Close(app, main);
    return ok;
}

}  // namespace

void StartBench(const Options& options, Table& table)
{
    auto startTool = [](App& app) {
        return TimeToShown(app, ToolExe(), [&] {
            HWND main = FindDialog(app.ProcessId(), kCaption, nullptr);
            return main && CurrentPageId(main) == IDD_MENU_PAGE;
        });
    };
    auto startMinimal = [](App& app) {
        return TimeToShown(app, MinimalExe(), [&] { return FindDialog(app.ProcessId(), kMinimalCaption, nullptr); });
    };

    Series tool, minimal, toolPeak, minimalPeak;
    // One start of each first, untimed, so that neither pays for a cold cache.
    for (int run = -1; run < options.runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            App app;
            const bool isTool = (run + turn) % 2 == 0;
            const double seconds = isTool ? startTool(app) : startMinimal(app);
            HWND window = FindDialog(app.ProcessId(), isTool ? kCaption : kMinimalCaption, nullptr);
            const auto memory = MemoryOf(app.ProcessId());
            Close(app, window);
            if (seconds < 0) {
                std::fprintf(stderr, "start: %s did not show its window\n", isTool ? "QXDIAG.exe" : "the minimal dialog");
                continue;
            }
            if (run < 0) continue;
            (isTool ? tool : minimal).Add(seconds * 1000);
            if (memory) (isTool ? toolPeak : minimalPeak).Add(MiB(memory->PeakWorkingSetSize));
        }
    }
    Row row{"start of QXDIAG.exe to the menu page shown (polled every 1 ms)", "ms", tool,
            "a minimal dialog exe to its dialog shown", Ratios(tool, minimal), "<= 1.2x", ""};
    row.verdict = Verdict(row.ratio.Median() <= 1.2);
    table.Add(row);
    table.Add({"start of the minimal dialog exe (bench_min_dialog.exe) to its dialog shown", "ms", minimal, "", {}, "",
               ""});
    table.Add({"peak working set of QXDIAG.exe on its menu page", "MiB", toolPeak, "the minimal dialog exe",
               Ratios(toolPeak, minimalPeak), "", ""});
    table.Add({"peak working set of the minimal dialog exe (what Wine itself takes)", "MiB", minimalPeak, "", {}, "", ""});
}

void CollectionUiBench(const Options& options, Table& table)
{
    const double made = Now();
    CopyMaterial material(options.largeMiB, options.smallFiles);
    std::fprintf(stderr, "collection: %llu MiB in large files and %d small files made in %.1f s\n",
                 material.LargeBytes() >> 20, options.smallFiles, Now() - made);

    Series maxMs, medianMs, p99Ms, samples, seconds, peak, peakAtMenu, peakSampled, peakPrivate;
    for (int run = 0; run < options.toolRuns; ++run) {
        CollectionFigures figures;
        if (!CollectOnce(figures)) {
            std::fprintf(stderr, "collection: run %d could not be driven to its end\n", run + 1);
            continue;
        }
        maxMs.Add(figures.roundTripsMs.Max());
        medianMs.Add(figures.roundTripsMs.Median());
        p99Ms.Add(figures.roundTripsMs.Percentile(0.99));
        samples.Add(static_cast<double>(figures.roundTripsMs.values.size()));
        seconds.Add(figures.seconds);
        peak.Add(MiB(figures.peakWorkingSet));
        peakAtMenu.Add(MiB(figures.peakWorkingSetAtMenu));
        peakSampled.Add(MiB(figures.peakSampledWorkingSet));
        peakPrivate.Add(MiB(figures.peakPagefileUsage));
        std::fprintf(stderr, "collection: run %d took %.0f s, %zu samples, max %.1f ms\n", run + 1, figures.seconds,
                     figures.roundTripsMs.values.size(), figures.roundTripsMs.Max());
    }
    const std::string collection = "full collection (" + std::to_string(options.largeMiB) + " MiB + " +
                                   std::to_string(options.smallFiles) + " small files, every item)";
    Row latency{"UI latency during a " + collection + ": max WM_NULL round trip to the progress dialog", "ms", maxMs,
                "", {}, "max <= 100 ms", ""};
    latency.verdict = Verdict(!maxMs.values.empty() && maxMs.Max() <= 100);
    table.Add(latency);
    table.Add({"  median WM_NULL round trip (sampled every 10 ms)", "ms", medianMs, "", {}, "", ""});
    table.Add({"  p99 WM_NULL round trip", "ms", p99Ms, "", {}, "", ""});
    table.Add({"  samples per run", "", samples, "", {}, "", ""});
    table.Add({"  the run, Save's folder chosen to the closing message box, pauses included", "s", seconds, "", {},
               "", ""});
    Row memory{"peak working set of QXDIAG.exe after the " + collection, "MiB", peak, "", {}, "<= 32 MiB", ""};
    memory.verdict = Verdict(!peak.values.empty() && peak.Max() <= 32);
    table.Add(memory);
    table.Add({"  its peak working set on the menu page before the run", "MiB", peakAtMenu, "", {}, "", ""});
    table.Add({"  largest working set sampled during the run (every 100 ms)", "MiB", peakSampled, "", {}, "", ""});
    table.Add({"  peak private bytes (PeakPagefileUsage) after the run", "MiB", peakPrivate, "", {}, "", ""});
}

}  // namespace qx::bench
