#include "figures.h"

#include "platform/handles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qx::bench {

double Now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

namespace {

std::vector<double> Sorted(const std::vector<double>& values)
{
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

std::string Number(double value)
{
    char text[32];
    const double magnitude = std::fabs(value);
    std::snprintf(text, sizeof text, magnitude >= 100 ? "%.0f" : magnitude >= 10 ? "%.1f" : "%.2f", value);
    return text;
}

std::string Triple(const Series& series)
{
    if (series.values.empty()) return "-";
    return Number(series.Median()) + " [" + Number(series.Min()) + ", " + Number(series.Max()) + "]";
}

}  // namespace

double Series::Median() const
{
    if (values.empty()) return NAN;
    const std::vector<double> sorted = Sorted(values);
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double Series::Min() const { return values.empty() ? NAN : *std::min_element(values.begin(), values.end()); }
double Series::Max() const { return values.empty() ? NAN : *std::max_element(values.begin(), values.end()); }

double Series::Percentile(double fraction) const
{
    if (values.empty()) return NAN;
    const std::vector<double> sorted = Sorted(values);
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

bool RoomOnC(const std::string& measure, unsigned long long needed, Table& table)
{
    ULARGE_INTEGER freeBytes{};
    ::GetDiskFreeSpaceExW(L"C:\\", &freeBytes, nullptr, nullptr);
    if (freeBytes.QuadPart >= needed) return true;
    table.Note(measure + ": skipped, C: has " + std::to_string(freeBytes.QuadPart >> 20) + " MiB free, needs " +
               std::to_string(needed >> 20));
    return false;
}

Series Throughput(const Series& seconds, unsigned long long bytes)
{
    Series mibPerSecond;
    for (double s : seconds.values) mibPerSecond.Add(static_cast<double>(bytes) / (1 << 20) / s);
    return mibPerSecond;
}

Series Ratios(const Series& numerator, const Series& denominator)
{
    Series ratios;
    for (std::size_t i = 0; i < numerator.values.size() && i < denominator.values.size(); ++i) {
        ratios.Add(numerator.values[i] / denominator.values[i]);
    }
    return ratios;
}

std::string Verdict(bool met) { return met ? "met" : "MISSED"; }

void Table::Print() const
{
    std::printf("\n| Measure | Unit | Runs | Median [min, max] | Compared with | Ratio median [min, max] | Target | |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const Row& row : rows_) {
        std::printf("| %s | %s | %zu | %s | %s | %s | %s | %s |\n", row.measure.c_str(), row.unit.c_str(),
                    row.series.values.size(), Triple(row.series).c_str(),
                    row.comparedWith.empty() ? "-" : row.comparedWith.c_str(),
                    row.comparedWith.empty() ? "-" : Triple(row.ratio).c_str(),
                    row.target.empty() ? "-" : row.target.c_str(), row.verdict.c_str());
    }
    for (const std::string& note : notes_) std::printf("\n- %s", note.c_str());
    std::printf("\n");
    std::fflush(stdout);
}

std::string Narrow(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                          nullptr);
    return narrow;
}

double TimeProgram(const std::wstring& program, std::wstring commandLine)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info))
        return -1;
    UniqueHandleKernel process(info.hProcess);
    UniqueHandleKernel thread(info.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    const double seconds = Now() - start;
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    return code == 0 ? seconds : -1;
}

}  // namespace qx::bench
