#pragma once
// Timing and the one table the benchmarks print: each figure as median, min and
// max of its runs, and each comparison as the ratio taken run by run.

#include <windows.h>

#include <string>
#include <vector>

namespace qx::bench {

// Seconds since an arbitrary start, from the performance counter.
double Now();

struct Series {
    std::vector<double> values;
    void Add(double value) { values.push_back(value); }
    double Median() const;
    double Min() const;
    double Max() const;
    // The value below which `fraction` of the values lie (nearest rank).
    double Percentile(double fraction) const;
};

// Run by run: numerator[i] / denominator[i].
Series Ratios(const Series& numerator, const Series& denominator);

// Run by run: `bytes` moved in each run's seconds, in MiB/s.
Series Throughput(const Series& seconds, unsigned long long bytes);

struct Row {
    std::string measure;
    std::string unit;
    Series series;
    // Empty for a figure that stands alone.
    std::string comparedWith;
    Series ratio;
    std::string target;
    // Empty: no target; otherwise "met" or "MISSED".
    std::string verdict;
};

class Table {
public:
    void Add(Row row) { rows_.push_back(std::move(row)); }
    void Note(std::string text) { notes_.push_back(std::move(text)); }
    void Print() const;

private:
    std::vector<Row> rows_;
    std::vector<std::string> notes_;
};

// Whether C: has `needed` bytes free for the material of `measure`; notes in
// the table that the measure was skipped when it has not.
bool RoomOnC(const std::string& measure, unsigned long long needed, Table& table);

std::string Verdict(bool met);
std::string Narrow(const std::wstring& text);

// Runs a program with `commandLine` (no window) and waits for it; the seconds
// from CreateProcessW to its end, or a negative value when it could not start
// or did not end with exit code 0.
double TimeProgram(const std::wstring& program, std::wstring commandLine);

}  // namespace qx::bench
