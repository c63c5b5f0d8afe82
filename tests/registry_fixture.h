#pragma once
// The real registry under HKEY_LOCAL_MACHINE for tests: keys and values set
// with failures reported at the caller's line, a test-only tree that every
// test gets fresh, and keys of the fake machine moved aside for the length of
// a test and put back exactly as they were.

#include "platform/handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx::test {

// Only tests write here.
inline constexpr wchar_t kTestKey[] = L"SOFTWARE\\QXDIAG-Test";
// Where MovedAside keeps what it moved.
inline constexpr wchar_t kSavedKey[] = L"SOFTWARE\\QXDIAG-Test-Saved";

using Bytes = std::vector<BYTE>;

// The UTF-16 bytes of `text`, with its terminating zero unless `terminated` is false.
inline Bytes StringBytes(std::wstring_view text, bool terminated = true)
{
    Bytes bytes;
    bytes.reserve((text.size() + 1) * sizeof(wchar_t));
    for (wchar_t c : text) bytes.insert(bytes.end(), {static_cast<BYTE>(c & 0xFF), static_cast<BYTE>(c >> 8)});
    if (terminated) bytes.insert(bytes.end(), sizeof(wchar_t), 0);
    return bytes;
}

inline Bytes DwordBytes(DWORD value)
{
    Bytes bytes(sizeof(value));
    std::memcpy(bytes.data(), &value, sizeof(value));
    return bytes;
}

inline void Fail(const std::source_location& where, const std::string& what, LSTATUS status)
{
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << what << " failed: " << status;
}

inline UniqueHkey CreateKey(const std::wstring& path, std::source_location where = std::source_location::current())
{
    UniqueHkey key;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) {
        Fail(where, "RegCreateKeyExW", status);
        return {};
    }
    return key;
}

// Creates the key when it is missing.
inline void SetValue(const std::wstring& path, const std::wstring& name, DWORD type, const Bytes& data,
                     std::source_location where = std::source_location::current())
{
    UniqueHkey key = CreateKey(path, where);
    if (!key) return;
    const BYTE spare = 0;
    const LSTATUS status = ::RegSetValueExW(key.get(), name.c_str(), 0, type, data.empty() ? &spare : data.data(),
                                            static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS) Fail(where, "RegSetValueExW", status);
}

inline void SetString(const std::wstring& path, const std::wstring& name, std::wstring_view text,
                      std::source_location where = std::source_location::current())
{
    SetValue(path, name, REG_SZ, StringBytes(text), where);
}

inline void SetDword(const std::wstring& path, const std::wstring& name, DWORD value,
                     std::source_location where = std::source_location::current())
{
    SetValue(path, name, REG_DWORD, DwordBytes(value), where);
}

inline bool KeyExists(const std::wstring& path)
{
    UniqueHkey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

using StoredValue = std::optional<std::pair<DWORD, Bytes>>;

// A value's type and bytes as the registry holds them; nothing when absent.
inline StoredValue Stored(const std::wstring& key, const std::wstring& name)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), flags, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    Bytes bytes(size);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), flags, &type, bytes.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    bytes.resize(size);
    return std::make_pair(type, bytes);
}
inline StoredValue Sz(const std::wstring& text) { return std::make_pair(DWORD{REG_SZ}, StringBytes(text)); }
inline StoredValue Dword(DWORD number) { return std::make_pair(DWORD{REG_DWORD}, DwordBytes(number)); }

// Sets the value to `stored`, or deletes it when `stored` is nothing.
inline void Restore(const std::wstring& key, const std::wstring& name, const StoredValue& stored,
                    std::source_location where = std::source_location::current())
{
    if (stored) {
        SetValue(key, name, stored->first, stored->second, where);
    } else {
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
    }
}

// A value put back as it was when the object goes, or deleted again when it was missing.
class SavedValue {
public:
    SavedValue(std::wstring key, std::wstring name)
        : key_(std::move(key)), name_(std::move(name)), stored_(Stored(key_, name_))
    {
    }
    ~SavedValue() { Restore(key_, name_, stored_); }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

private:
    std::wstring key_;
    std::wstring name_;
    StoredValue stored_;
};

// Deletes the key with everything below it; a missing key is fine.
inline void DeleteTree(const std::wstring& path, std::source_location where = std::source_location::current())
{
    const LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) Fail(where, "RegDeleteTreeW", status);
}

// Copies the values and subkeys of `from` into `to`, creating `to`.
inline void CopyTree(const std::wstring& from, const std::wstring& to,
                     std::source_location where = std::source_location::current())
{
    UniqueHkey sourceKey;
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ, sourceKey.put());
    if (status != ERROR_SUCCESS) return Fail(where, "RegOpenKeyExW", status);
    UniqueHkey target = CreateKey(to, where);
    if (!target) return;
    status = ::RegCopyTreeW(sourceKey.get(), nullptr, target.get());
    if (status != ERROR_SUCCESS) Fail(where, "RegCopyTreeW", status);
}

// What the registry enumerates, read with the plain API, so that tests can
// expect "the order the registry gives" without assuming one.
inline std::vector<std::wstring> EnumeratedNames(const std::wstring& path, bool subkeys)
{
    std::vector<std::wstring> names;
    UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    std::vector<wchar_t> name(32768);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status =
            subkeys ? ::RegEnumKeyExW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr)
                    : ::RegEnumValueW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
    }
    return names;
}
inline std::vector<std::wstring> EnumeratedValueNames(const std::wstring& path) { return EnumeratedNames(path, false); }
inline std::vector<std::wstring> EnumeratedSubkeyNames(const std::wstring& path) { return EnumeratedNames(path, true); }

// A fresh, empty kTestKey for each test, deleted afterwards.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(kTestKey);
        CreateKey(kTestKey);
    }
    void TearDown() override { DeleteTree(kTestKey); }

    static std::wstring TestPath(const std::wstring& below) { return std::wstring(kTestKey) + L"\\" + below; }
};

// Moves keys aside while it lives: each key is missing until the test makes
// it, and comes back afterwards as it was (or stays missing if it was),
// whatever the test left in its place. Instances may nest.
class MovedAside {
public:
    explicit MovedAside(std::vector<std::wstring> keys)
        : keys_(std::move(keys)), saved_(std::wstring(kSavedKey) + L"\\" + std::to_wstring(++instances_))
    {
        DeleteTree(saved_);
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            existed_.push_back(KeyExists(keys_[i]));
            if (existed_[i]) CopyTree(keys_[i], SavedPath(i));
            DeleteTree(keys_[i]);
        }
    }
    ~MovedAside()
    {
        // The moves undone in reverse order put nested keys back as they were.
        for (std::size_t i = keys_.size(); i-- > 0;) {
            DeleteTree(keys_[i]);
            if (existed_[i]) CopyTree(SavedPath(i), keys_[i]);
        }
        DeleteTree(saved_);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSavedKey);  // only once no other instance holds keys there
    }
    MovedAside(const MovedAside&) = delete;
    MovedAside& operator=(const MovedAside&) = delete;

private:
    std::wstring SavedPath(std::size_t i) const { return saved_ + L"\\" + std::to_wstring(i); }

    static inline int instances_ = 0;
    std::vector<std::wstring> keys_;
    std::wstring saved_;
    std::vector<bool> existed_;
};

}  // namespace qx::test
