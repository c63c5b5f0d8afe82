// Product settings on the real registry: the two folder lookups, how the keys
// of ProductSettingValues are opened and how values are written; the standard
// message box and the restart through their seams.

#include "settings/product_settings.h"

#include "app/main_dlg.h"
#include "pages/standard_message.h"
#include "platform/registry_values.h"
#include "platform/restart.h"
#include "platform/ui.h"
#include "registry_fixture.h"
#include "resource.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qx {
namespace {

// Nothing in this test program may reach the real ExitWindowsEx: until a test
// installs its own seam, a restart is refused and fails the test that asked.
class RefuseRealRestart : public testing::Environment {
public:
    void SetUp() override
    {
        TheRestartSeam().exitWindows = [](UINT, DWORD) {
            ADD_FAILURE() << "a test reached ExitWindowsEx";
            return FALSE;
        };
    }
};
[[maybe_unused]] testing::Environment* const kRefuseRealRestart =
    testing::AddGlobalTestEnvironment(new RefuseRealRestart);

struct LookupCase {
    const char* Name;
    bool KeyExists;
    // Nothing: the value is absent.
    std::optional<DWORD> Type;
    test::Bytes Data;
    // Nothing: the lookup's default.
    std::optional<std::wstring> Returned;
};

std::vector<LookupCase> LookupCases()
{
    const std::wstring longest = L"D:\\" + std::wstring(MAX_PATH - 4, L'x');
    const std::wstring multi[] = {L"D:\\A", L"D:\\B"};
    test::Bytes multiBytes = test::StringBytes(multi[0]);
    const test::Bytes second = test::StringBytes(multi[1]);
    multiBytes.insert(multiBytes.end(), second.begin(), second.end());
    multiBytes.insert(multiBytes.end(), {0, 0});
    return {
        {"key missing", false, std::nullopt, {}, std::nullopt},
        {"value absent", true, std::nullopt, {}, std::nullopt},
        {"empty", true, REG_SZ, test::StringBytes(L""), std::nullopt},
        {"REG_DWORD", true, REG_DWORD, test::DwordBytes(7), std::nullopt},
        {"REG_BINARY holding a path", true, REG_BINARY, test::StringBytes(L"D:\\Logs"), std::nullopt},
        {"REG_MULTI_SZ", true, REG_MULTI_SZ, multiBytes, std::nullopt},
        {"REG_EXPAND_SZ, not expanded", true, REG_EXPAND_SZ, test::StringBytes(L"%SystemDrive%\\TovraLog"),
         L"%SystemDrive%\\TovraLog"},
        {"as stored, separator kept", true, REG_SZ, test::StringBytes(L"D:\\TOVRA\\ログ\\"), L"D:\\TOVRA\\ログ\\"},
        {"without its terminating zero", true, REG_SZ, test::StringBytes(L"D:\\Logs", false), L"D:\\Logs"},
        {"up to the first zero", true, REG_SZ, test::StringBytes(std::wstring(L"D:\\A\0junk", 9)), L"D:\\A"},
        {"259 characters fit", true, REG_SZ, test::StringBytes(longest), longest},
        {"260 characters do not", true, REG_SZ, test::StringBytes(longest + L"x"), std::nullopt},
    };
}

struct Lookup {
    const wchar_t* Key;
    const wchar_t* Value;
    std::function<std::wstring()> Read;
    std::wstring Default;
};

TEST(ProductSettingLookups, ReturnTheStoredStringOrTheirDefault)
{
    const test::MovedAside aside({kProductKey, kVorlixClientKey});
    const Lookup lookups[] = {
        {kProductKey, L"LogPath", DebugLogFolder, L"C:\\Log"},
        {kVorlixClientKey, L"Install", VorlixInstallFolder, L""},
    };
    for (const Lookup& lookup : lookups) {
        for (const LookupCase& c : LookupCases()) {
            SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(lookup.Value)) << ": " << c.Name);
            test::DeleteTree(lookup.Key);
            if (c.KeyExists) test::CreateKey(lookup.Key);
            if (c.Type) test::SetValue(lookup.Key, lookup.Value, *c.Type, c.Data);
            EXPECT_EQ(lookup.Read(), c.Returned.value_or(lookup.Default));
        }
    }
}

// Every key of the table, missing until a test makes it.
class ProductSettingKeys : public testing::Test {
protected:
    static std::string Named(const ProductSettingValue& setting)
    {
        return testing::PrintToString(std::wstring(setting.Key) + L" " + setting.Name);
    }

    const test::MovedAside aside_{
        {kProductKey, kLocalDumpsKey, kRunKey, kVorlixClientKey, kEdgePolicyKey, kChromePolicyKey}};
};

TEST_F(ProductSettingKeys, OnlyProductKeysAreCreatedAndOnlyForWriting)
{
    for (const ProductSettingValue& setting : ProductSettingValues) {
        SCOPED_TRACE(Named(setting));
        test::DeleteTree(setting.Key);
        UniqueHkey key;
        EXPECT_EQ(OpenSettingKey(setting, KeyPurpose::Read, key), ERROR_FILE_NOT_FOUND);
        EXPECT_NE(OpenSettingKey(setting, KeyPurpose::Delete, key), ERROR_SUCCESS);
        EXPECT_FALSE(key);
        EXPECT_FALSE(test::KeyExists(setting.Key));

        const bool product = setting.Rule == SettingKeyRule::Product;
        const LSTATUS written = OpenSettingKey(setting, KeyPurpose::Write, key);
        EXPECT_EQ(written == ERROR_SUCCESS, product) << written;
        EXPECT_EQ(static_cast<bool>(key), product);
        EXPECT_EQ(test::KeyExists(setting.Key), product);
    }
}

TEST_F(ProductSettingKeys, ExistingKeysOpenForEveryPurposeButReadOnlyOnesOnlyForReading)
{
    for (const ProductSettingValue& setting : ProductSettingValues) {
        SCOPED_TRACE(Named(setting));
        test::CreateKey(setting.Key);
        const bool changeable = setting.Rule != SettingKeyRule::ReadOnly;
        for (KeyPurpose purpose : {KeyPurpose::Read, KeyPurpose::Write, KeyPurpose::Delete}) {
            UniqueHkey key;
            const LSTATUS status = OpenSettingKey(setting, purpose, key);
            if (purpose == KeyPurpose::Read || changeable) {
                EXPECT_EQ(status, ERROR_SUCCESS);
                EXPECT_TRUE(key);
            } else {
                EXPECT_EQ(status, ERROR_ACCESS_DENIED);
                EXPECT_FALSE(key);
            }
        }
    }
}

// The raw type and bytes of a value in the 64-bit or the 32-bit view.
std::optional<std::pair<DWORD, test::Bytes>> RawValue(const std::wstring& path, const std::wstring& name,
                                                       REGSAM view = KEY_WOW64_64KEY)
{
    UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    test::Bytes bytes(size);
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    bytes.resize(size);
    return std::make_pair(type, bytes);
}

TEST(ProductSettingValuesWritten, StringsWithTheirZeroNumbersAsFourBytesInTheNativeView)
{
    const test::MovedAside aside({kProductKey});
    {
        UniqueHkey key;
        ASSERT_EQ(OpenSettingKey(Setting(ProductSetting::LogPath), KeyPurpose::Write, key), ERROR_SUCCESS);
        EXPECT_EQ(SetStringValue(key.get(), L"LogPath", L"D:\\ログ"), ERROR_SUCCESS);
        EXPECT_EQ(SetDwordValue(key.get(), L"LogLevel", 100), ERROR_SUCCESS);
    }
    using Raw = std::optional<std::pair<DWORD, test::Bytes>>;
    EXPECT_EQ(RawValue(kProductKey, L"LogPath"), Raw(std::make_pair(REG_SZ, test::StringBytes(L"D:\\ログ"))));
    EXPECT_EQ(RawValue(kProductKey, L"LogLevel"), Raw(std::make_pair(REG_DWORD, test::DwordBytes(100))));
    EXPECT_EQ(RawValue(kProductKey, L"LogPath", KEY_WOW64_32KEY), std::nullopt) << "nothing in the 32-bit view";
    EXPECT_EQ(DebugLogFolder(), L"D:\\ログ");

    UniqueHkey key;
    ASSERT_EQ(OpenSettingKey(Setting(ProductSetting::LogPath), KeyPurpose::Delete, key), ERROR_SUCCESS);
    EXPECT_EQ(DeleteValue(key.get(), L"LogPath"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteValue(key.get(), L"LogPath"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RawValue(kProductKey, L"LogPath"), std::nullopt);
    EXPECT_EQ(QueryDwordValue(key.get(), L"LogLevel"), std::optional<DWORD>(100));
}

TEST(StandardMessage, OwnedByTheMainWindowCaptionedQxdiagWithAnIconAdded)
{
    struct Asked {
        HWND Owner;
        std::wstring Text;
        std::wstring Caption;
        UINT Style;
    };
    std::vector<Asked> asked;
    const UiSeams saved = Seams();
    const ScopeExit restore([&] { Seams() = saved; });
    Seams().messageBox = [&](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
        asked.push_back({owner, text, caption, style});
        return IDYES;
    };
    CMainDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);

    const struct {
        UINT Given;
        UINT Shown;
    } styles[] = {
        {MB_OK, MB_OK | MB_ICONEXCLAMATION},
        {MB_YESNO, MB_YESNO | MB_ICONQUESTION},
        {MB_ICONHAND, MB_ICONHAND},
        {MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONQUESTION},
        {MB_ICONEXCLAMATION, MB_ICONEXCLAMATION},
        {MB_ICONINFORMATION, MB_ICONINFORMATION},
        {MB_YESNO | MB_ICONINFORMATION, MB_YESNO | MB_ICONINFORMATION},
        {MB_OKCANCEL, MB_OKCANCEL},
    };
    for (const auto& style : styles) {
        SCOPED_TRACE(style.Given);
        asked.clear();
        EXPECT_EQ(ShowStandardMessage(dlg.MenuPage().Handle(), IDS_REGISTRY_SET_FAILED, style.Given), IDYES);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].Owner, dlg.Handle());
        EXPECT_EQ(asked[0].Text, L"レジストリの設定に失敗しました。");
        EXPECT_EQ(asked[0].Caption, test::kTestProgramName) << "the name of this test program's exe";
        EXPECT_EQ(asked[0].Style, style.Shown);
    }
}

bool ShutdownPrivilegeEnabled()
{
    UniqueHandleKernel token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    LUID shutdown{};
    if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &shutdown)) return false;
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& privilege = privileges->Privileges[i];
        if (privilege.Luid.LowPart == shutdown.LowPart && privilege.Luid.HighPart == shutdown.HighPart) {
            return (privilege.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return false;
}

class RestartComputerTest : public testing::Test {
protected:
    void SetUp() override
    {
        window_.reset(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
        ASSERT_TRUE(window_);
        TheRestartSeam().exitWindows = [this](UINT flags, DWORD reason) {
            calls_.push_back({flags, reason, ShutdownPrivilegeEnabled()});
            return accept_;
        };
    }
    void TearDown() override { TheRestartSeam() = saved_; }

    bool CloseQueued()
    {
        MSG msg;
        return ::PeekMessageW(&msg, window_.get(), WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
    }

    struct Call {
        UINT Flags;
        DWORD Reason;
        bool PrivilegeEnabled;
    };
    const RestartSeam saved_ = TheRestartSeam();
    UniqueHwnd window_;
    BOOL accept_ = TRUE;
    std::vector<Call> calls_;
};

TEST_F(RestartComputerTest, AcceptedPlainRebootClosesTheMainWindow)
{
    EXPECT_TRUE(RestartComputer(window_.get()));
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].Flags, static_cast<UINT>(EWX_REBOOT)) << "never forced";
    EXPECT_EQ(calls_[0].Reason, 0u);
    EXPECT_TRUE(calls_[0].PrivilegeEnabled) << "SeShutdownPrivilege is enabled before Windows is asked";
    EXPECT_TRUE(CloseQueued());
}

TEST_F(RestartComputerTest, RefusedRebootLeavesTheToolOpen)
{
    accept_ = FALSE;
    EXPECT_FALSE(RestartComputer(window_.get()));
    EXPECT_EQ(calls_.size(), 1u);
    EXPECT_FALSE(CloseQueued());
}

}  // namespace
}  // namespace qx
