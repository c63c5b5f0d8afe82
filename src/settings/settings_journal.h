#pragma once
// The journal of the tool's own changes to this machine. Before a page writes
// or deletes a value of ProductSettingValues, the value's state is recorded
// under the tool's key in HKEY_LOCAL_MACHINE: whether its key and the value
// existed, its type and exact data, when, and by which page. Switching off
// then puts back exactly what was there. A value keeps its first record until
// it is restored, so the tool's own data is never taken for the original.
//
// HKLM\SOFTWARE\Orvek\TOVRA DIAG\Journal\<entry>:
//   "Key", "Value" (REG_SZ)        the value recorded
//   "KeyExisted", "Existed" (DWORD) 1 or 0
//   "Data"                          the value's data under its own type, when it existed
//   "Recorded" (REG_SZ)             "YYYY/MM/DD hh:mm:ss", UTC
//   "Page" (DWORD)                  the dialog id of the page that changed it

#include "platform/registry.h"
#include "settings/product_settings.h"

#include <initializer_list>
#include <optional>
#include <string>

namespace qx {

inline constexpr wchar_t kToolKey[] = L"SOFTWARE\\Orvek\\TOVRA DIAG";
inline constexpr wchar_t kJournalKey[] = L"SOFTWARE\\Orvek\\TOVRA DIAG\\Journal";

struct JournalEntry {
    bool KeyExisted = false;
    // Nothing when the value did not exist.
    std::optional<RawValue> Original;
    std::wstring Recorded;
    int PageId = 0;
};

// Records each of `ids` that the journal does not hold yet, as it is now.
// False when the journal cannot be written; what this call recorded is then
// taken back, and the caller must change nothing.
bool RecordBeforeChange(std::initializer_list<ProductSetting> ids, int pageId);

// The record of `id`; nothing when it is not journalled (or the record is unreadable).
std::optional<JournalEntry> JournalEntryOf(ProductSetting id);

enum class RestoreOutcome { NotJournalled, Restored, Failed };

// Puts `id` back as the journal recorded it: a value that existed with its
// type and data, one that did not is deleted, and a key that did not exist is
// deleted once it is empty. The entry goes once that worked; on failure it stays.
RestoreOutcome RestoreFromJournal(ProductSetting id);

// Drops the records of `ids`, for a change undone by other means.
void ForgetJournalled(std::initializer_list<ProductSetting> ids);

}  // namespace qx
