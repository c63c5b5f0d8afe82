// Registry export: the tool's DumpRegistryKey against `reg export` of the same
// key, and the split of the tool's time into reading the registry and writing
// the lines.

#include "measures.h"

#include "collect/run_log.h"
#include "collectors/registry_export.h"
#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/registry_values.h"
#include "files_fixture.h"

#include <windows.h>

#include <cstdio>

namespace qx::bench {
namespace {

constexpr int kTopKeys = 50;
constexpr int kKeysUnderEach = 99;  // 50 + 50 * 99 = 5,000 keys
constexpr int kValuesPerKey = 10;

void SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, std::size_t size)
{
    ::RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

// Ten values of mixed types: strings, numbers, binary data, types the export
// writes empty, and a name it masks.
void FillKey(HKEY key, int number)
{
    const std::wstring text = L"C:\\Program Files\\Orvek\\TOVRA\\module" + std::to_wstring(number) + L".dll";
    const std::wstring japanese = L"設定値 " + std::to_wstring(number);
    const DWORD dword = static_cast<DWORD>(number) * 2654435761u;
    const DWORD small = static_cast<DWORD>(number % 7);
    BYTE binary[16];
    for (int i = 0; i < 16; ++i) binary[i] = static_cast<BYTE>(number * 31 + i);
    const std::wstring expand = L"%ProgramFiles%\\Orvek";
    const wchar_t multi[] = L"first\0second\0";
    const unsigned long long qword = 0x0123456789ABCDEFull + static_cast<unsigned long long>(number);
    const std::wstring secret = L"hidden";

    SetValue(key, L"InstallPath", REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    SetValue(key, L"DisplayName", REG_SZ, japanese.c_str(), (japanese.size() + 1) * sizeof(wchar_t));
    SetValue(key, L"LogLevel", REG_DWORD, &small, sizeof small);
    SetValue(key, L"Flags", REG_DWORD, &dword, sizeof dword);
    SetValue(key, L"Signature", REG_BINARY, binary, sizeof binary);
    SetValue(key, L"Key", REG_BINARY, binary, 8);
    SetValue(key, L"DataPath", REG_EXPAND_SZ, expand.c_str(), (expand.size() + 1) * sizeof(wchar_t));
    SetValue(key, L"Servers", REG_MULTI_SZ, multi, sizeof multi);
    SetValue(key, L"Stamp", REG_QWORD, &qword, sizeof qword);
    SetValue(key, L"UserPassword", REG_SZ, secret.c_str(), (secret.size() + 1) * sizeof(wchar_t));
}

UniqueHkey CreateKey(HKEY parent, const std::wstring& name)
{
    UniqueHkey key;
    if (::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

// The tool's readers over the whole tree, writing nothing: the reading half of
// DumpRegistryKey (each key opened once), which never reads the one masked
// value of each key.
void ReadTree(const std::wstring& keyPath)
{
    std::vector<std::wstring> subkeys;
    {
        UniqueHkey key;
        if (OpenLocalMachineKey(keyPath, KeyAccess::Read, key) != ERROR_SUCCESS) return;
        for (const std::wstring& name : ListValueNames(key.get())) {
            if (!name.empty() && name != L"UserPassword") RegistryValueText(key.get(), name, L"");
        }
        subkeys = ListSubkeyNames(key.get());
    }
    for (const std::wstring& subkey : subkeys) ReadTree(keyPath + L"\\" + subkey);
}

std::vector<std::wstring> LinesOf(const std::string& bytes)
{
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        const int length = static_cast<int>(end - start);
        std::wstring line(static_cast<std::size_t>(length), L'\0');
        const int wide = ::MultiByteToWideChar(932, 0, bytes.data() + start, length, line.data(), length);
        line.resize(static_cast<std::size_t>(std::max(wide, 0)));
        lines.push_back(std::move(line));
        start = end + 2;
    }
    return lines;
}

}  // namespace

RegistryMaterial::RegistryMaterial()
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKeyPath);
    const UniqueHkey root = CreateKey(HKEY_LOCAL_MACHINE, kKeyPath);
    for (int top = 0; top < kTopKeys; ++top) {
        const UniqueHkey topKey = CreateKey(root.get(), L"Module" + std::to_wstring(top));
        FillKey(topKey.get(), keys_++);
        for (int sub = 0; sub < kKeysUnderEach; ++sub) {
            const UniqueHkey subKey = CreateKey(topKey.get(), L"Item" + std::to_wstring(sub));
            FillKey(subKey.get(), keys_++);
        }
    }
}

RegistryMaterial::~RegistryMaterial() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKeyPath); }

void RegistryExportBench(const Options& options, Table& table)
{
    const double made = Now();
    RegistryMaterial tree;
    std::fprintf(stderr, "registry: %d keys x %d values made in %.1f s\n", tree.Keys(), kValuesPerKey, Now() - made);

    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring toolFile = std::wstring(temp) + L"qxbench-dump.reg";
    const std::wstring regFile = std::wstring(temp) + L"qxbench-reg-export.reg";
    const std::wstring linesFile = std::wstring(temp) + L"qxbench-lines.reg";
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring reg = std::wstring(system) + L"\\reg.exe";
    const std::wstring regCommand =
        L"reg export HKLM\\" + std::wstring(RegistryMaterial::kKeyPath) + L" \"" + regFile + L"\" /y";

    Series tool, regExport, reading, writing;
    std::vector<std::wstring> lines;
    for (int run = 0; run < options.runs; ++run) {
        // Alternate which goes first, so neither always finds the caches warmer.
        for (int turn = 0; turn < 2; ++turn) {
            if ((run + turn) % 2 == 0) {
                ::DeleteFileW(toolFile.c_str());
                const double start = Now();
                DumpRegistryKey(RegistryMaterial::kKeyPath, toolFile);
                tool.Add(Now() - start);
            } else {
                ::DeleteFileW(regFile.c_str());
                regExport.Add(TimeProgram(reg, regCommand));
            }
        }
        // The split: the readers alone, then the same lines appended alone.
        double start = Now();
        ReadTree(RegistryMaterial::kKeyPath);
        reading.Add(Now() - start);
        if (lines.empty()) lines = LinesOf(test::ReadBytes(toolFile));
        ::DeleteFileW(linesFile.c_str());
        start = Now();
        for (const std::wstring& line : lines) AppendRunLogLine(linesFile, line);
        writing.Add(Now() - start);
    }
    std::fprintf(stderr, "registry: the tool wrote %zu lines (%zu bytes); reg export %zu bytes\n", lines.size(),
                 test::ReadBytes(toolFile).size(), test::ReadBytes(regFile).size());
    // The tool's file against its own lines appended one by one: the same bytes or not.
    std::fprintf(stderr, "registry: DumpRegistryKey's file equals its lines appended one by one: %s\n",
                 test::ReadBytes(toolFile) == test::ReadBytes(linesFile) ? "yes" : "NO");
    ::DeleteFileW(toolFile.c_str());
    ::DeleteFileW(regFile.c_str());
    ::DeleteFileW(linesFile.c_str());

    const std::string tree5000 = "registry export, " + std::to_string(tree.Keys()) + " keys x 10 values";
    Row row{tree5000 + ": DumpRegistryKey", "s", tool, "`reg export` of the same key", Ratios(tool, regExport),
            "<= 1.5x", ""};
    row.verdict = Verdict(row.ratio.Median() <= 1.5);
    table.Add(row);
    table.Add({tree5000 + ": `reg export` (reg.exe, from CreateProcessW to its end)", "s", regExport, "", {}, "", ""});
    table.Add({"  split: reading the tree with the tool's readers", "s", reading, "DumpRegistryKey",
               Ratios(reading, tool), "", ""});
    table.Add({"  split: appending its " + std::to_string(lines.size()) + " lines with AppendRunLogLine", "s",
               writing, "DumpRegistryKey", Ratios(writing, tool), "", ""});
}

}  // namespace qx::bench
