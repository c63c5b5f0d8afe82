#include "settings/settings_journal.h"

#include "collect/run_log.h"
#include "platform/registry_values.h"

#include <ctime>
#include <vector>

namespace qx {
namespace {

constexpr wchar_t kKeyName[] = L"Key";
constexpr wchar_t kValueName[] = L"Value";
constexpr wchar_t kKeyExistedName[] = L"KeyExisted";
constexpr wchar_t kExistedName[] = L"Existed";
constexpr wchar_t kDataName[] = L"Data";
constexpr wchar_t kRecordedName[] = L"Recorded";
constexpr wchar_t kPageName[] = L"Page";

// One entry per value the tool changes; the names say which key the value is on.
const wchar_t* EntryName(ProductSetting id)
{
    switch (id) {
    case ProductSetting::LogPath:
        return L"TOVRA LogPath";
    case ProductSetting::LogLevel:
        return L"TOVRA LogLevel";
    case ProductSetting::LogType:
        return L"TOVRA LogType";
    case ProductSetting::LogDays:
        return L"TOVRA LogDays";
    case ProductSetting::DumpType:
        return L"LocalDumps DumpType";
    case ProductSetting::DumpFolder:
        return L"LocalDumps DumpFolder";
    case ProductSetting::VorlixRun:
        return L"Run Vorlix";
    case ProductSetting::EdgeDeveloperTools:
        return L"Edge DeveloperToolsAvailability";
    case ProductSetting::EdgeDeveloperToolsOrg:
        return L"Edge DeveloperToolsAvailabilityORG";
    case ProductSetting::ChromeDeveloperTools:
        return L"Chrome DeveloperToolsAvailability";
    case ProductSetting::ChromeDeveloperToolsOrg:
        return L"Chrome DeveloperToolsAvailabilityORG";
    case ProductSetting::VorlixInstall:
        break;
    }
    return nullptr;
}

std::wstring EntryPath(ProductSetting id) { return std::wstring(kJournalKey) + L"\\" + EntryName(id); }

LSTATUS DeleteTree(const std::wstring& path)
{
    const LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Removes the entry, and the journal and the tool's key once nothing is left in them.
LSTATUS RemoveEntry(ProductSetting id)
{
    const LSTATUS status = DeleteTree(EntryPath(id));
    if (status != ERROR_SUCCESS) return status;
    if (DeleteLocalMachineKeyIfEmpty(kJournalKey) == ERROR_SUCCESS) DeleteLocalMachineKeyIfEmpty(kToolKey);
    return ERROR_SUCCESS;
}

bool Record(ProductSetting id, int pageId, const std::wstring& now)
{
    const ProductSettingValue& setting = Setting(id);
    UniqueHkey key;
    const LSTATUS opened = OpenLocalMachineKey(setting.Key, KeyAccess::Read, key);
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) return false;
    std::optional<RawValue> original;
    if (key) {
        original = ReadRawValue(key.get(), setting.Name);
        // A value that is there but cannot be read cannot be put back.
        if (!original && ValueExists(key.get(), setting.Name)) return false;
    }
    key.reset();

    UniqueHkey entry;
    if (CreateLocalMachineKey(EntryPath(id), entry) != ERROR_SUCCESS) return false;
    LSTATUS status = SetStringValue(entry.get(), kKeyName, setting.Key);
    if (status == ERROR_SUCCESS) status = SetStringValue(entry.get(), kValueName, setting.Name);
    if (status == ERROR_SUCCESS) status = SetDwordValue(entry.get(), kKeyExistedName, opened == ERROR_SUCCESS);
    if (status == ERROR_SUCCESS && original) status = SetRawValue(entry.get(), kDataName, original->Type, original->Bytes);
    if (status == ERROR_SUCCESS) status = SetStringValue(entry.get(), kRecordedName, now);
    if (status == ERROR_SUCCESS) status = SetDwordValue(entry.get(), kPageName, static_cast<DWORD>(pageId));
    // Written last: an entry without it is incomplete and is not trusted.
    if (status == ERROR_SUCCESS) status = SetDwordValue(entry.get(), kExistedName, original.has_value());
    return status == ERROR_SUCCESS;
}

}  // namespace

bool RecordBeforeChange(std::initializer_list<ProductSetting> ids, int pageId)
{
    const std::wstring now = FormatLogTime(static_cast<std::int64_t>(std::time(nullptr)));
    std::vector<ProductSetting> recorded;
    for (ProductSetting id : ids) {
        if (JournalEntryOf(id)) continue;
        // A half-written entry from before is replaced, not trusted.
        DeleteTree(EntryPath(id));
        recorded.push_back(id);
        if (!Record(id, pageId, now)) {
            for (ProductSetting undo : recorded) DeleteTree(EntryPath(undo));
            return false;
        }
    }
    return true;
}

std::optional<JournalEntry> JournalEntryOf(ProductSetting id)
{
    if (!EntryName(id)) return std::nullopt;
    UniqueHkey entry;
    if (OpenLocalMachineKey(EntryPath(id), KeyAccess::Read, entry) != ERROR_SUCCESS) return std::nullopt;
    const ProductSettingValue& setting = Setting(id);
    const std::optional<DWORD> existed = QueryDwordValue(entry.get(), kExistedName);
    const std::optional<DWORD> keyExisted = QueryDwordValue(entry.get(), kKeyExistedName);
    if (!existed || !keyExisted || QueryStringValue(entry.get(), kKeyName, MAX_PATH) != setting.Key ||
        QueryStringValue(entry.get(), kValueName, MAX_PATH) != setting.Name) {
        return std::nullopt;
    }
    JournalEntry result;
    result.KeyExisted = *keyExisted != 0;
    if (*existed) {
        result.Original = ReadRawValue(entry.get(), kDataName);
        if (!result.Original) return std::nullopt;
    }
    result.Recorded = QueryStringValue(entry.get(), kRecordedName, MAX_PATH).value_or(L"");
    result.PageId = static_cast<int>(QueryDwordValue(entry.get(), kPageName).value_or(0));
    return result;
}

RestoreOutcome RestoreFromJournal(ProductSetting id)
{
    const std::optional<JournalEntry> entry = JournalEntryOf(id);
    if (!entry) return RestoreOutcome::NotJournalled;
    const ProductSettingValue& setting = Setting(id);
    UniqueHkey key;
    LSTATUS status = OpenSettingKey(setting, KeyPurpose::Delete, key);
    if (status == ERROR_FILE_NOT_FOUND && !entry->Original) {
        // Nothing to delete where there is no key.
        status = ERROR_SUCCESS;
    } else if (status == ERROR_SUCCESS) {
        if (entry->Original) {
            status = SetRawValue(key.get(), setting.Name, entry->Original->Type, entry->Original->Bytes);
        } else {
            status = DeleteValue(key.get(), setting.Name);
            if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
        }
        key.reset();
    }
    if (status != ERROR_SUCCESS) return RestoreOutcome::Failed;
    // The key's mere presence may mean something (LocalDumps switches dumps on).
    if (!entry->KeyExisted) {
        status = DeleteLocalMachineKeyIfEmpty(setting.Key);
        if (status != ERROR_SUCCESS && status != ERROR_DIR_NOT_EMPTY) return RestoreOutcome::Failed;
    }
    return RemoveEntry(id) == ERROR_SUCCESS ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}

void ForgetJournalled(std::initializer_list<ProductSetting> ids)
{
    for (ProductSetting id : ids) {
        if (EntryName(id)) RemoveEntry(id);
    }
}

}  // namespace qx
