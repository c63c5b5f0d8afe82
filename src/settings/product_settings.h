#pragma once
// The registry values that the tool reads, writes or deletes for the TOVRA
// product, Windows Error Reporting, the Vorlix client and the browsers; the
// rules by which their keys are opened; and the two folder lookups.

#include "platform/handles.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace qx {

enum class ProductSetting {
    LogPath,
    LogLevel,
    LogType,
    LogDays,
    DumpType,
    DumpFolder,
    VorlixRun,
    VorlixInstall,
    EdgeDeveloperTools,
    EdgeDeveloperToolsOrg,
    ChromeDeveloperTools,
    ChromeDeveloperToolsOrg,
};

// How a key of the table is opened to change it. Reads always use KEY_READ.
enum class SettingKeyRule {
    // Written through RegCreateKeyExW (created when missing); opened with
    // KEY_READ | KEY_WRITE, never created, to delete.
    Product,
    // Opened with KEY_READ | KEY_WRITE and never created.
    Existing,
    // Written by someone else; the tool only reads it.
    ReadOnly,
    // Opened with KEY_ALL_ACCESS and never created.
    Policy,
};

struct ProductSettingValue {
    ProductSetting Id;
    // Below HKEY_LOCAL_MACHINE.
    const wchar_t* Key;
    const wchar_t* Name;
    DWORD Type;
    SettingKeyRule Rule;
    // The number the tool always writes, which the pages also show when the
    // value is absent; nothing where the data depends on the user's choice.
    std::optional<DWORD> FixedNumber;
};

inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Orvek\\TOVRA";
inline constexpr wchar_t kLocalDumpsKey[] = L"SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\LocalDumps";
inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kVorlixClientKey[] = L"SOFTWARE\\Orvek\\VLX\\Client";
inline constexpr wchar_t kEdgePolicyKey[] = L"SOFTWARE\\Policies\\Microsoft\\Edge";
inline constexpr wchar_t kChromePolicyKey[] = L"SOFTWARE\\Policies\\Google\\Chrome";

// Every registry value the tool reads, writes or deletes, in the order of ProductSetting.
inline constexpr std::array<ProductSettingValue, 12> ProductSettingValues{{
    {ProductSetting::LogPath, kProductKey, L"LogPath", REG_SZ, SettingKeyRule::Product, std::nullopt},
    {ProductSetting::LogLevel, kProductKey, L"LogLevel", REG_DWORD, SettingKeyRule::Product, 100},
    {ProductSetting::LogType, kProductKey, L"LogType", REG_DWORD, SettingKeyRule::Product, 2},
    {ProductSetting::LogDays, kProductKey, L"LogDays", REG_DWORD, SettingKeyRule::Product, std::nullopt},
    {ProductSetting::DumpType, kLocalDumpsKey, L"DumpType", REG_DWORD, SettingKeyRule::Product, 2},
    {ProductSetting::DumpFolder, kLocalDumpsKey, L"DumpFolder", REG_SZ, SettingKeyRule::Product, std::nullopt},
    {ProductSetting::VorlixRun, kRunKey, L"Vorlix", REG_SZ, SettingKeyRule::Existing, std::nullopt},
    {ProductSetting::VorlixInstall, kVorlixClientKey, L"Install", REG_SZ, SettingKeyRule::ReadOnly, std::nullopt},
    {ProductSetting::EdgeDeveloperTools, kEdgePolicyKey, L"DeveloperToolsAvailability", REG_DWORD,
     SettingKeyRule::Policy, 1},
    {ProductSetting::EdgeDeveloperToolsOrg, kEdgePolicyKey, L"DeveloperToolsAvailabilityORG", REG_DWORD,
     SettingKeyRule::Policy, std::nullopt},
    {ProductSetting::ChromeDeveloperTools, kChromePolicyKey, L"DeveloperToolsAvailability", REG_DWORD,
     SettingKeyRule::Policy, 1},
    {ProductSetting::ChromeDeveloperToolsOrg, kChromePolicyKey, L"DeveloperToolsAvailabilityORG", REG_DWORD,
     SettingKeyRule::Policy, std::nullopt},
}};

constexpr const ProductSettingValue& Setting(ProductSetting id)
{
    return ProductSettingValues[static_cast<std::size_t>(id)];
}

enum class KeyPurpose { Read, Write, Delete };

// Opens the key of `setting` as its rule lays down for `purpose`. Changing a
// read-only key is refused with ERROR_ACCESS_DENIED before the registry is asked.
LSTATUS OpenSettingKey(const ProductSettingValue& setting, KeyPurpose purpose, UniqueHkey& key);

// The strings the lookups read must fit a buffer of this many characters,
// their terminating zero included.
inline constexpr std::size_t kSettingBufferChars = MAX_PATH;

inline constexpr wchar_t kDefaultDebugLogFolder[] = L"C:\\Log";

// "LogPath" as stored, or "C:\Log" when it is missing, empty, not a string or
// too long. Read afresh on every call; safe on any thread.
std::wstring DebugLogFolder();

// "Install" of the Vorlix client as stored (users append file names to it
// directly), or empty when the client is not installed.
std::wstring VorlixInstallFolder();

}  // namespace qx
