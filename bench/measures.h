#pragma once
// The measures: each runs `runs` times and adds its rows to the table.

#include "figures.h"

namespace qx::bench {

struct Options {
    int runs = 5;
    // Runs of the whole tool collecting (each lasts as long as its pauses).
    int toolRuns = 3;
    int largeMiB = 1024;
    int smallFiles = 5000;
};

void RegistryExportBench(const Options& options, Table& table);
void FileCopyBench(const Options& options, Table& table);
// The manifest's hashing: a large-file collection with and without it, and
// SHA-256 throughput beside sha256sum.
void HashBench(const Options& options, Table& table);
void StartBench(const Options& options, Table& table);
void CollectionUiBench(const Options& options, Table& table);
void ArchiveBench(const Options& options, Table& table);
// The tool's archive of `outputFolder` alone, as the archive measure's child; its exit code.
int ArchiveChild(const std::wstring& outputFolder);

// The generated material of a collection, in the fake machine's folders, where
// the collectors look for it; removed again when this goes away.
class CopyMaterial {
public:
    CopyMaterial(int largeMiB, int smallFiles);
    ~CopyMaterial();
    CopyMaterial(const CopyMaterial&) = delete;
    CopyMaterial& operator=(const CopyMaterial&) = delete;

    unsigned long long LargeBytes() const { return largeBytes_; }
    unsigned long long SmallBytes() const { return smallBytes_; }

private:
    std::vector<std::wstring> files_;
    unsigned long long largeBytes_ = 0;
    unsigned long long smallBytes_ = 0;
};

// The generated registry tree: 5,000 keys of 10 values each under a key of its
// own, deleted when this goes away.
class RegistryMaterial {
public:
    RegistryMaterial();
    ~RegistryMaterial();
    RegistryMaterial(const RegistryMaterial&) = delete;
    RegistryMaterial& operator=(const RegistryMaterial&) = delete;

    static constexpr wchar_t kKeyPath[] = L"SOFTWARE\\QxdiagBench";
    int Keys() const { return keys_; }

private:
    int keys_ = 0;
};

}  // namespace qx::bench
