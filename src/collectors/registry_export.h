#pragma once
// The product's registry settings as text files in the "registry" sub-folder of
// the output folder, with password-like and seed-like values masked.

#include "collect/collector.h"

#include <string>
#include <vector>

namespace qx {

// The collector: exports "SOFTWARE\Orvek" and "SOFTWARE\Policies\Orvek", and on
// 64-bit Windows their "Wow6432Node" counterparts, one file each. Never stops
// the run.
bool ExportRegistry(CollectionProgress& progress, const std::wstring& runLogPath);

// Every file the collector can write, relative to the output folder.
std::vector<std::wstring> RegistryExportFiles();

// Appends to `outputFile` the section of `keyPath` (under HKEY_LOCAL_MACHINE)
// and then, depth first, those of all its subkeys: an empty line and "[path]"
// for a key that has values, then one "name=text" line per named value.
void DumpRegistryKey(const std::wstring& keyPath, const std::wstring& outputFile);

}  // namespace qx
