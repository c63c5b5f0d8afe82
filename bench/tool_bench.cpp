// The whole tool, driven from outside: its start to the menu page against a
// minimal dialog program, and a full collection with the UI's latency and the
// process's peak working set.

#include "measures.h"

#include "driver.h"
#include "files_fixture.h"
#include "platform/handles.h"
#include "resource.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

namespace qx::bench {
namespace {

using namespace qx::e2e;

constexpr wchar_t kMinimalCaption[] = L"QXBENCH";

// The bench runs from build/bench/bin, as deep as the e2e tests: the driver finds the tool.
std::wstring ToolExe() { return QxdiagExePath().wstring(); }
std::wstring MinimalExe(const std::wstring& name)
{
    return (QxdiagExePath().parent_path() / L"bench\\bin" / name).wstring();
}

// The programs whose starts are compared: the tool and the minimal dialog built three ways.
enum Program { kTool, kMinimal, kMinimalV6, kMinimalImports, kPrograms, kMinimalPicker = kPrograms };

std::wstring MinimalName(Program program)
{
    switch (program) {
    case kMinimalV6:
        return L"bench_min_dialog_v6.exe";
    case kMinimalImports:
        return L"bench_min_dialog_imports.exe";
    case kMinimalPicker:
        return L"bench_min_dialog_picker.exe";
    default:
        return L"bench_min_dialog.exe";
    }
}

// Polls every millisecond: the seconds from CreateProcessW until `shown(seconds so far)` holds.
template <class Shown>
double TimeToShown(App& app, const std::wstring& exe, Shown shown)
{
    const double start = Now();
    if (!app.Start(exe)) return -1;
    while (!shown(Now() - start)) {
        if (!app.Running() || Now() - start > 30) return -1;
        ::Sleep(1);
    }
    return Now() - start;
}

int ChildWindowCount(HWND parent)
{
    int count = 0;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) ++count;
    return count;
}

// The seconds from CreateProcessW to two points of the tool's start, seen from outside.
struct StartPhases {
    // Its main window exists (created hidden; its pages come in its WM_INITDIALOG).
    double created = -1;
    // All its page windows exist.
    double pagesMade = -1;
};

// The sheet's pages are its only children.
constexpr int kPageCount = 10;

double TimeToolStart(App& app, StartPhases& phases)
{
    HWND main = nullptr;
    return TimeToShown(app, ToolExe(), [&](double seconds) {
        if (!main && (main = FindCreatedDialog(app.ProcessId(), kCaption, nullptr)) != nullptr) phases.created = seconds;
        if (main && phases.pagesMade < 0 && ChildWindowCount(main) >= kPageCount) phases.pagesMade = seconds;
        return phases.pagesMade >= 0 && ::IsWindowVisible(main) && CurrentPageId(main) == IDD_MENU_PAGE;
    });
}

double MiB(SIZE_T bytes) { return static_cast<double>(bytes) / (1 << 20); }

std::optional<PROCESS_MEMORY_COUNTERS> MemoryOf(DWORD pid)
{
    const UniqueHandleKernel process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return std::nullopt;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) return std::nullopt;
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

SIZE_T PeakOf(DWORD pid)
{
    const auto memory = MemoryOf(pid);
    return memory ? memory->PeakWorkingSetSize : 0;
}

// The peak working set of the minimal dialog (manifest and the tool's imports)
// with the tool's folder picker up, 0.5 s after it showed, as in CollectOnce:
// what Wine takes for the picker without anything of the tool. 0 on failure.
SIZE_T PeakWithMinimalPicker()
{
    App app;
    if (!app.Start(MinimalExe(MinimalName(kMinimalPicker)))) return 0;
    HWND dialog = WaitForDialog(app.ProcessId(), kMinimalCaption, nullptr);
    HWND picker = dialog ? WaitForFolderPicker(app.ProcessId(), dialog) : nullptr;
    SIZE_T peak = 0;
    if (picker) {
        ::Sleep(500);
        peak = PeakOf(app.ProcessId());
        CancelFolderPicker(picker);
    }
    Close(app, dialog);
    return peak;
}

// The peak working set at the boundaries of a collection: on the menu page,
// on the collection page, with the folder picker up, when it has closed, and
// at every change of the progress dialog's step title; then after the run.
// The progress dialog's step title until the first collector sets its own: the
// OS version and installed-software steps run under it.
constexpr wchar_t kInitialStepTitle[] = L"デバッグログの取得:";

struct CollectionFigures {
    Series roundTripsMs;
    double seconds = 0;
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakWorkingSetAtMenu = 0;
    SIZE_T peakAtCollectionPage = 0;
    SIZE_T peakWithPicker = 0;
    SIZE_T peakPickerClosed = 0;
    // Each step title as it came up, and the peak when the next one replaced it
    // (the last one: when the dialog went).
    std::vector<std::pair<std::wstring, SIZE_T>> peakAfterStep;
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
    const DWORD pid = app.ProcessId();
    figures.peakWorkingSetAtMenu = PeakOf(pid);
    bool ok = GoFromMenu(main, IDD_EVENTLOG_PAGE) && CheckEveryItem(CurrentPageWindow(main));
    figures.peakAtCollectionPage = PeakOf(pid);
    test::TempFolder chosen(L"bench-collect");
    // Save, as StartCollection does it, with a look at the memory while the picker is up.
    HWND picker = ok && ClickButton(CurrentPageWindow(main), IDC_SAVE) ? WaitForFolderPicker(pid, main) : nullptr;
    if (picker) {
        // Its folder view fills after it is shown.
        ::Sleep(500);
        figures.peakWithPicker = PeakOf(pid);
    }
    ok = picker && ChooseFolder(picker, chosen.Path());
    figures.peakPickerClosed = PeakOf(pid);
    const double start = Now();
    HWND progress = ok ? WaitForDialog(pid, kProgressCaption, main) : nullptr;
    if (progress) {
        // Every 10 ms one WM_NULL round trip and a look at the step title; every
        // tenth sample, and at each new title, also the working set.
        HWND title = ::GetDlgItem(progress, IDC_STEP_TITLE);
        // Empty: the run's first moments, before the first look at the title.
        std::wstring shownTitle;
        int sample = 0;
        for (double next = Now(); ::IsWindow(progress); next += 0.010) {
            const double sent = Now();
            DWORD_PTR result = 0;
            if (!::SendMessageTimeoutW(progress, WM_NULL, 0, 0, SMTO_NORMAL, 60'000, &result)) break;
            figures.roundTripsMs.Add((Now() - sent) * 1000);
            const std::wstring nowTitle = TextOf(title);
            const bool newStep = !nowTitle.empty() && nowTitle != shownTitle;
            if (++sample % 10 == 0 || newStep) {
                if (const auto memory = MemoryOf(pid)) {
                    figures.peakSampledWorkingSet = std::max(figures.peakSampledWorkingSet, memory->WorkingSetSize);
                    if (newStep) figures.peakAfterStep.emplace_back(shownTitle, memory->PeakWorkingSetSize);
                }
            }
            if (newStep) shownTitle = nowTitle;
            const double wait = next + 0.010 - Now();
            if (wait > 0) ::Sleep(static_cast<DWORD>(wait * 1000));
        }
        figures.peakAfterStep.emplace_back(shownTitle, PeakOf(pid));
        ok = WaitUntilGone(progress, kRunTimeout);
    } else {
        ok = false;
    }
    const std::optional<MessageBoxView> done = ok ? WaitForMessageBox(pid, nullptr, kRunTimeout) : std::nullopt;
    figures.seconds = Now() - start;
    if (const auto memory = MemoryOf(pid)) {
        figures.peakWorkingSet = memory->PeakWorkingSetSize;
        figures.peakPagefileUsage = memory->PeakPagefileUsage;
    }
    ok = ok && done && AnswerMessageBox(done->window, IDNO) && AnswerArchiveQuestion(pid, IDNO);
    Close(app, main);
    return ok;
}

}  // namespace

void StartBench(const Options& options, Table& table)
{
    // The tool and the three minimal dialogs take turns, in an order that
    // rotates from run to run; one untimed start of each first, so that none
    // pays for a cold cache.
    std::array<Series, kPrograms> seconds, peaks;
    Series created, pagesMade, shownAfterPages;
    for (int run = -1; run < options.runs; ++run) {
        for (int turn = 0; turn < kPrograms; ++turn) {
            const auto program = static_cast<Program>((run + 1 + turn) % kPrograms);
            App app;
            StartPhases phases;
            const bool isTool = program == kTool;
            const double shown = isTool ? TimeToolStart(app, phases) : TimeToShown(app, MinimalExe(MinimalName(program)), [&](double) {
                return FindDialog(app.ProcessId(), kMinimalCaption, nullptr);
            });
            HWND window = FindDialog(app.ProcessId(), isTool ? kCaption : kMinimalCaption, nullptr);
            const auto memory = MemoryOf(app.ProcessId());
            Close(app, window);
            if (shown < 0) {
                std::fprintf(stderr, "start: %s did not show its window\n",
                             isTool ? "QXDIAG.exe" : Narrow(MinimalName(program)).c_str());
                continue;
            }
            if (run < 0) continue;
            seconds[program].Add(shown * 1000);
            if (memory) peaks[program].Add(MiB(memory->PeakWorkingSetSize));
            if (isTool) {
                created.Add(phases.created * 1000);
                pagesMade.Add((phases.pagesMade - phases.created) * 1000);
                shownAfterPages.Add((shown - phases.pagesMade) * 1000);
            }
        }
    }
    const Series& tool = seconds[kTool];
    Row row{"start of QXDIAG.exe to the menu page shown (polled every 1 ms)", "ms", tool,
            "a minimal dialog exe to its dialog shown", Ratios(tool, seconds[kMinimal]), "<= 1.2x", ""};
    row.verdict = Verdict(!row.ratio.values.empty() && row.ratio.Median() <= 1.2);
    table.Add(row);
    table.Add({"start of QXDIAG.exe to the menu page shown", "ms", tool,
               "the minimal dialog with the same manifest and InitCommonControlsEx", Ratios(tool, seconds[kMinimalV6]),
               "", ""});
    table.Add({"  split: CreateProcessW to its main window created, hidden (process, DLLs, C runtime, "
               "InitCommonControlsEx, the window)",
               "ms", created, "the whole start", Ratios(created, tool), "", ""});
    table.Add({"  split: its ten page windows created (the main window's WM_INITDIALOG, menu page's "
               "registry and version reads included)",
               "ms", pagesMade, "the whole start", Ratios(pagesMade, tool), "", ""});
    table.Add({"  split: from there to the menu page shown (ShowPage, the window shown, activated and painted)", "ms",
               shownAfterPages, "the whole start", Ratios(shownAfterPages, tool), "", ""});
    table.Add({"start of the minimal dialog exe (bench_min_dialog.exe, no manifest) to its dialog shown", "ms",
               seconds[kMinimal], "", {}, "", ""});
    table.Add({"start of the minimal dialog with the tool's manifest (version 6 common controls, visual styles) and "
               "InitCommonControlsEx",
               "ms", seconds[kMinimalV6], "the minimal dialog without manifest", Ratios(seconds[kMinimalV6], seconds[kMinimal]),
               "", ""});
    table.Add({"start of the minimal dialog with the manifest and the tool's imports (advapi32, ole32, shell32, "
               "shlwapi, version)",
               "ms", seconds[kMinimalImports], "the minimal dialog with the manifest",
               Ratios(seconds[kMinimalImports], seconds[kMinimalV6]), "", ""});
    table.Add({"peak working set of QXDIAG.exe on its menu page", "MiB", peaks[kTool], "the minimal dialog exe",
               Ratios(peaks[kTool], peaks[kMinimal]), "", ""});
    table.Add({"peak working set of QXDIAG.exe on its menu page", "MiB", peaks[kTool],
               "the minimal dialog with manifest and imports", Ratios(peaks[kTool], peaks[kMinimalImports]), "", ""});
    table.Add({"peak working set of the minimal dialog exe (what Wine itself takes)", "MiB", peaks[kMinimal], "", {},
               "", ""});
    table.Add({"peak working set of the minimal dialog with the manifest", "MiB", peaks[kMinimalV6], "", {}, "", ""});
    table.Add({"peak working set of the minimal dialog with the manifest and the tool's imports", "MiB",
               peaks[kMinimalImports], "", {}, "", ""});
}

void CollectionUiBench(const Options& options, Table& table)
{
    const double made = Now();
    CopyMaterial material(options.largeMiB, options.smallFiles);
    std::fprintf(stderr, "collection: %llu MiB in large files and %d small files made in %.1f s\n",
                 material.LargeBytes() >> 20, options.smallFiles, Now() - made);

    Series maxMs, medianMs, p99Ms, samples, seconds, peak, peakAtMenu, peakAtPage, peakPicker, peakPickerClosed,
        peakSampled, peakPrivate, riseAfterRun, minimalPicker;
    // The rise of the peak during each step, by its title, in the order the steps came.
    std::vector<std::pair<std::wstring, Series>> stepRises;
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
        peakAtPage.Add(MiB(figures.peakAtCollectionPage));
        peakPicker.Add(MiB(figures.peakWithPicker));
        peakPickerClosed.Add(MiB(figures.peakPickerClosed));
        if (const SIZE_T floor = PeakWithMinimalPicker()) minimalPicker.Add(MiB(floor));
        peakSampled.Add(MiB(figures.peakSampledWorkingSet));
        peakPrivate.Add(MiB(figures.peakPagefileUsage));
        SIZE_T before = figures.peakPickerClosed;
        for (std::size_t i = 0; i < figures.peakAfterStep.size(); ++i) {
            const auto& [title, after] = figures.peakAfterStep[i];
            const std::wstring name = title.empty()            ? L"the progress dialog's first moments"
                                      : title == kInitialStepTitle ? L"its initial title (OS version, installed software)"
                                                                   : title;
            auto found = std::find_if(stepRises.begin(), stepRises.end(), [&](const auto& rise) { return rise.first == name; });
            if (found == stepRises.end()) found = stepRises.insert(stepRises.end(), {name, Series{}});
            found->second.Add(MiB(after - before));
            before = after;
        }
        riseAfterRun.Add(MiB(figures.peakWorkingSet - before));
        std::fprintf(stderr, "collection: run %d took %.0f s, %zu samples, max %.1f ms, peak %.1f MiB\n", run + 1,
                     figures.seconds, figures.roundTripsMs.values.size(), figures.roundTripsMs.Max(),
                     MiB(figures.peakWorkingSet));
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
    table.Add({"  split: its peak on the menu page before the run", "MiB", peakAtMenu, "", {}, "", ""});
    table.Add({"  split: its peak on the collection page, every item ticked", "MiB", peakAtPage, "", {}, "", ""});
    table.Add({"  split: its peak with the folder picker up (0.5 s after it showed)", "MiB", peakPicker,
               "the minimal dialog (manifest, imports) with the same picker up", Ratios(peakPicker, minimalPicker), "",
               ""});
    table.Add({"  the minimal dialog (manifest, the tool's imports) with the same folder picker up: Wine's floor for "
               "any program that shows it",
               "MiB", minimalPicker, "", {}, "", ""});
    table.Add({"  split: its peak when the picker has closed (the run just begun)", "MiB", peakPickerClosed, "", {},
               "", ""});
    for (const auto& [title, rise] : stepRises) {
        table.Add({"  split: rise of the peak during \"" + Narrow(title) + "\"", "MiB", rise, "", {}, "", ""});
    }
    table.Add({"  split: rise of the peak after the progress dialog (the closing message box)", "MiB", riseAfterRun,
               "", {}, "", ""});
    table.Add({"  largest working set sampled during the run (every 100 ms)", "MiB", peakSampled, "", {}, "", ""});
    table.Add({"  peak private bytes (PeakPagefileUsage) after the run", "MiB", peakPrivate, "", {}, "", ""});
}

}  // namespace qx::bench
