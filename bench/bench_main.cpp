// qxdiag_bench [--runs N] [--tool-runs N] [--large-mib N] [--small-files N] [MEASURE...]
// MEASURE: registry, copy, hash, start, collection, archive (default: all six). Prints one
// table in Markdown on stdout; progress goes to stderr.

#include "measures.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: qxdiag_bench [--runs N] [--tool-runs N] [--large-mib N] [--small-files N] "
                 "[registry] [copy] [hash] [start] [collection] [archive]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    if (argc == 3 && std::wstring(argv[1]) == L"--archive-child") return qx::bench::ArchiveChild(argv[2]);

    qx::bench::Options options;
    std::set<std::wstring> measures;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        int* number = arg == L"--runs"          ? &options.runs
                      : arg == L"--tool-runs"   ? &options.toolRuns
                      : arg == L"--large-mib"   ? &options.largeMiB
                      : arg == L"--small-files" ? &options.smallFiles
                                                : nullptr;
        if (number) {
            if (++i == argc) return Usage();
            *number = static_cast<int>(std::wcstol(argv[i], nullptr, 10));
        } else if (arg == L"registry" || arg == L"copy" || arg == L"hash" || arg == L"start" ||
                   arg == L"collection" || arg == L"archive") {
            measures.insert(arg);
        } else {
            return Usage();
        }
    }
    auto wanted = [&](const wchar_t* name) { return measures.empty() || measures.count(name) > 0; };

    qx::bench::Table table;
    const double start = qx::bench::Now();
    if (wanted(L"registry")) qx::bench::RegistryExportBench(options, table);
    if (wanted(L"copy")) qx::bench::FileCopyBench(options, table);
    if (wanted(L"hash")) qx::bench::HashBench(options, table);
    if (wanted(L"start")) qx::bench::StartBench(options, table);
    if (wanted(L"collection")) qx::bench::CollectionUiBench(options, table);
    if (wanted(L"archive")) qx::bench::ArchiveBench(options, table);
    table.Note("runs: " + std::to_string(options.runs) + " of each in-process measure and of each start, " +
               std::to_string(options.toolRuns) + " full collections; ratios are taken run by run, in the same run");
    table.Note("all measures took " + std::to_string(static_cast<int>(qx::bench::Now() - start)) + " s");
    table.Print();
    return 0;
}
