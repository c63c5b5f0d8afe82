#include "collectors/registry_export.h"

#include "collect/run_log.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/registry_values.h"
#include "platform/ui.h"
#include "resource.h"

#include <windows.h>

#include <iterator>

namespace qx {
namespace {

struct RegistryExport {
    const wchar_t* runLogText;
    const wchar_t* fileName;
    const wchar_t* keyPath;
};

// The file names are spelled "poricies"; the keys "Policies". The last two
// exist only on 64-bit Windows.
constexpr RegistryExport kExports[] = {
    {L"export registry >> orvek.reg", L"orvek.reg", L"SOFTWARE\\Orvek"},
    {L"export registry >> poricies_orvek.reg", L"poricies_orvek.reg", L"SOFTWARE\\Policies\\Orvek"},
    {L"export registry >> wow6432node_orvek.reg", L"wow6432node_orvek.reg", L"SOFTWARE\\Wow6432Node\\Orvek"},
    {L"export registry >> wow6432node_poricies_orvek.reg", L"wow6432node_poricies_orvek.reg",
     L"SOFTWARE\\Wow6432Node\\Policies\\Orvek"},
};
constexpr int kExportsOnEveryWindows = 2;
constexpr wchar_t kRegistryFolder[] = L"registry";

// GetNativeSystemInfo is looked up at run time: the 32-bit view exists only
// where it reports an x64 or Itanium processor.
bool IsNative64Bit()
{
    using GetNativeSystemInfoFunction = void(WINAPI*)(LPSYSTEM_INFO);
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32");
    FARPROC found = kernel32 ? ::GetProcAddress(kernel32, "GetNativeSystemInfo") : nullptr;
    if (!found) return false;
    SYSTEM_INFO info{};
    // Through void(*)(): the one cast between function types that is meant to be made.
    reinterpret_cast<GetNativeSystemInfoFunction>(reinterpret_cast<void (*)()>(found))(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

// A value whose name holds "pass" or "seed" in any case is never read; nor is
// one whose name cannot be lowered, as it might hold them.
bool IsSecretName(const std::wstring& name)
{
    std::wstring lowered = name;
    const int length = static_cast<int>(name.size());
    if (::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_LOWERCASE, name.c_str(), length, lowered.data(), length,
                        nullptr, nullptr, 0) != length)
        return true;
    return lowered.find(L"pass") != std::wstring::npos || lowered.find(L"seed") != std::wstring::npos;
}

// The section lines of `keyPath` and its subtree, each ending in a line feed.
// The key is opened once for its names and values and closed before its
// subkeys are visited, so only one key is open at a time.
void AppendKeyLines(const std::wstring& keyPath, std::wstring& lines)
{
    std::vector<std::wstring> subkeys;
    {
        UniqueHkey key;
        // Missing or not readable: no section, no subtree.
        if (OpenLocalMachineKey(keyPath, KeyAccess::Read, key) != ERROR_SUCCESS) return;
        const std::vector<std::wstring> valueNames = ListValueNames(key.get());
        if (!valueNames.empty()) {
            // The header is an empty line and the bracketed path; the unnamed
            // default value counts for it but has no line of its own.
            lines += L"\n[" + keyPath + L"]\n";
        }
        for (const std::wstring& name : valueNames) {
            if (name.empty()) continue;
            const std::wstring text = IsSecretName(name) ? L"****" : RegistryValueText(key.get(), name, L"");
            lines += name + L"=" + text + L"\n";
        }
        subkeys = ListSubkeyNames(key.get());
    }
    for (const std::wstring& subkey : subkeys) AppendKeyLines(keyPath + L"\\" + subkey, lines);
}

}  // namespace

void DumpRegistryKey(const std::wstring& keyPath, const std::wstring& outputFile)
{
    std::wstring lines;
    AppendKeyLines(keyPath, lines);
    if (lines.empty()) return;
    // One append instead of one per line: every line feed inside the text ends
    // its line with CR LF just as a line of its own does, so the bytes are the
    // same, and the file is opened once rather than for every line.
    lines.pop_back();
    AppendRunLogLine(outputFile, lines);
}

bool ExportRegistry(CollectionProgress& progress, const std::wstring& runLogPath)
{
    progress.SetStepTitle(LoadResourceString(IDS_REGISTRY_TITLE));
    progress.SetProgress(0);

    const int exports = IsNative64Bit() ? static_cast<int>(std::size(kExports)) : kExportsOnEveryWindows;
    for (int i = 0; i < exports; ++i) {
        const RegistryExport& item = kExports[i];
        const std::wstring file = JoinPath(JoinPath(progress.Request().OutputFolder, kRegistryFolder), item.fileName);
        // An old file that stays would have this export appended to it, and is not ours to open up.
        if (!file.empty() && !DeleteIfPresent(file)) {
            const DWORD error = ::GetLastError();
            AppendRunLogEntry(runLogPath, L"export registry error. " + std::wstring(item.keyPath) + L" >> " + file);
            progress.StepFailed(StepOutcome::Skipped, std::wstring(item.keyPath) + L" >> " + file, error);
            continue;
        }
        AppendRunLogEntry(runLogPath, item.runLogText);
        if (file.empty()) continue;  // a path that does not fit MAX_PATH
        // The file comes into being with its first line: a key without any
        // value in its tree leaves none.
        DumpRegistryKey(item.keyPath, file);
        ApplyOpenAccess(file);
        if (::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) progress.FileWritten(file, L"");
    }

    progress.SetProgress(100);
    progress.SetStatus(LoadResourceString(IDS_REGISTRY_DONE));
    progress.Pause(1000);
    return true;
}

std::vector<std::wstring> RegistryExportFiles()
{
    std::vector<std::wstring> files;
    for (const RegistryExport& item : kExports) files.push_back(std::wstring(kRegistryFolder) + L"\\" + item.fileName);
    return files;
}

}  // namespace qx
