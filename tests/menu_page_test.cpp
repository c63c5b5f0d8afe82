// The menu page in the real main window: the version line, the server check
// against the real registry and files, and Ctrl+A in the installed-software box.

#include "app/main_dlg.h"
#include "resource.h"
#include "files_fixture.h"
#include "registry_fixture.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::Bytes;
using test::PumpMessages;
using test::SetValue;
using test::StringBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr wchar_t kServerKey[] = L"SOFTWARE\\Orvek\\TOVRA\\Server";

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Rewrites the file version in the version resource of `exe`.
bool SetFileVersion(const std::wstring& exe, WORD a, WORD b, WORD c, WORD d)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    if (size == 0) return false;
    const auto block = std::make_unique<BYTE[]>(size);
    if (!::GetFileVersionInfoW(exe.c_str(), 0, size, block.get())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&info), &infoSize)) return false;
    info->dwFileVersionMS = MAKELONG(b, a);
    info->dwFileVersionLS = MAKELONG(d, c);
    // The block starts with the resource itself, whose first word is its length.
    WORD length = 0;
    std::memcpy(&length, block.get(), sizeof(length));
    HANDLE update = ::BeginUpdateResourceW(exe.c_str(), FALSE);
    if (!update) return false;
    const bool updated = ::UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                                           MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), block.get(), length);
    return ::EndUpdateResourceW(update, !updated) && updated;
}

TEST(MenuPageVersion, ShowsTheFileVersionOfTheExe)
{
    CMainDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    // The tests link the tool's own resources, so they carry its version.
    EXPECT_EQ(WindowText(::GetDlgItem(dlg.MenuPage().Handle(), IDC_MENU_VERSION)), L"Version: 2.1.0.26611");

    TempFolder folder;
    const std::wstring copy = folder / L"versioned.exe";
    ASSERT_TRUE(::CopyFileW(OwnPath().c_str(), copy.c_str(), TRUE));
    ASSERT_TRUE(SetFileVersion(copy, 65535, 2, 3, 4));
    EXPECT_EQ(FileVersionText(copy), L"Version: 65535.2.3.4");

    ASSERT_TRUE(WriteBytes(folder / L"plain.txt", "no version resource"));
    EXPECT_EQ(FileVersionText(folder / L"plain.txt"), L"");
    EXPECT_EQ(FileVersionText(folder / L"missing.exe"), L"");
}

// The server key of the fake machine is moved aside; QXServer.exe lies in a
// fresh folder, which is also the current folder.
class ServerCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteBytes(folder / L"QXServer.exe", "MZ"));
        const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, previousFolder);
        ASSERT_TRUE(length > 0 && length < MAX_PATH);
        ASSERT_TRUE(::SetCurrentDirectoryW(folder.Path().c_str()));
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryW(previousFolder);
        ::SetEnvironmentVariableW(L"QXDIAG_TEST_SERVER", nullptr);
    }

    static bool Enabled(CMainDlg& dlg, int id) { return ::IsWindowEnabled(::GetDlgItem(dlg.MenuPage().Handle(), id)); }
    // Shows `pageId`, then goes back to the menu page as "戻る" does.
    static void VisitAndReturn(CMainDlg& dlg, int pageId)
    {
        ASSERT_TRUE(dlg.MenuPage().ShowPageById(pageId, 0));
        ASSERT_TRUE(dlg.ShowPage(dlg.IndexOfPage(IDD_MENU_PAGE), 0));
        PumpMessages();
    }

    test::MovedAside serverKey{{kServerKey}};
    TempFolder folder;
    wchar_t previousFolder[MAX_PATH] = {};
};

TEST_F(ServerCheckTest, SettingsButtonsAreDisabledWhereTheServerExecutableIs)
{
    // Expanded, this variable would lead to the server.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"QXDIAG_TEST_SERVER", folder.Path().c_str()));
    Bytes padded = StringBytes(folder.Path());
    padded.resize(261 * sizeof(wchar_t), 0);

    const struct {
        const char* what;
        // No value at all when empty.
        const wchar_t* name;
        DWORD type;
        Bytes data;
        bool serverFound;
    } rows[] = {
        {"no Server key", nullptr, REG_NONE, {}, false},
        {"no ServerPath", L"Other", REG_SZ, StringBytes(folder.Path()), false},
        {"folder", L"ServerPath", REG_SZ, StringBytes(folder.Path()), true},
        {"folder with a trailing backslash", L"ServerPath", REG_SZ, StringBytes(folder.Path() + L"\\"), true},
        {"REG_EXPAND_SZ without a variable", L"ServerPath", REG_EXPAND_SZ, StringBytes(folder.Path()), true},
        {"REG_EXPAND_SZ with a variable, not expanded", L"ServerPath", REG_EXPAND_SZ,
         StringBytes(L"%QXDIAG_TEST_SERVER%"), false},
        {"a folder without the server", L"ServerPath", REG_SZ, StringBytes(folder / L"other"), false},
        {"a number", L"ServerPath", REG_DWORD, test::DwordBytes(1), false},
        {"data too long for 260 characters", L"ServerPath", REG_SZ, padded, false},
        // An empty path is no server part, although QXServer.exe lies in the current folder.
        {"empty", L"ServerPath", REG_SZ, {}, false},
        {"empty string", L"ServerPath", REG_SZ, StringBytes(L""), false},
        {"empty REG_EXPAND_SZ", L"ServerPath", REG_EXPAND_SZ, StringBytes(L""), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::DeleteTree(kServerKey);
        if (row.name) SetValue(kServerKey, row.name, row.type, row.data);

        CMainDlg dlg;
        ASSERT_NE(dlg.Create(nullptr), nullptr);
        EXPECT_EQ(Enabled(dlg, IDC_MENU_LOGSETTING), !row.serverFound);
        EXPECT_EQ(Enabled(dlg, IDC_MENU_VLXLOGSETTING), !row.serverFound);
        EXPECT_TRUE(Enabled(dlg, IDC_MENU_COLLECT));
    }
}

TEST_F(ServerCheckTest, RunsOnEveryActivationAndNeverEnablesAgain)
{
    test::SetString(kServerKey, L"ServerPath", folder.Path());
    const std::wstring server = folder / L"QXServer.exe";
    ASSERT_TRUE(::DeleteFileW(server.c_str()));

    CMainDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    ::ShowWindow(dlg.Handle(), SW_SHOW);
    EXPECT_TRUE(Enabled(dlg, IDC_MENU_LOGSETTING));

    ASSERT_TRUE(WriteBytes(server, "MZ"));
    VisitAndReturn(dlg, IDD_EVENTLOG_PAGE);
    EXPECT_FALSE(Enabled(dlg, IDC_MENU_LOGSETTING)) << "found when the page came back";
    EXPECT_FALSE(Enabled(dlg, IDC_MENU_VLXLOGSETTING));

    ASSERT_TRUE(::DeleteFileW(server.c_str()));
    VisitAndReturn(dlg, IDD_EVENTLOG_PAGE);
    EXPECT_FALSE(Enabled(dlg, IDC_MENU_LOGSETTING)) << "stays disabled once found";
    EXPECT_FALSE(Enabled(dlg, IDC_MENU_VLXLOGSETTING));
    EXPECT_TRUE(Enabled(dlg, IDC_MENU_COLLECT));
}

// Counts the key presses that reach the software box itself.
WNDPROC g_editProc = nullptr;
int g_keysInBox = 0;
LRESULT CALLBACK CountingEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == 'A') ++g_keysInBox;
    return ::CallWindowProcW(g_editProc, hwnd, message, wParam, lParam);
}

TEST(MenuPageKeys, CtrlASelectsTheWholeSoftwareList)
{
    constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    test::MovedAside uninstall{{kUninstall}};
    for (const wchar_t* name : {L"{A1}", L"{B2}"}) {
        test::SetString(std::wstring(kUninstall) + L"\\" + name, L"Publisher", L"Orvek, Inc.");
        test::SetString(std::wstring(kUninstall) + L"\\" + name, L"DisplayName", std::wstring(L"TOVRA ") + name);
    }
    CMainDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    ::ShowWindow(dlg.Handle(), SW_SHOW);
    HWND menu = dlg.MenuPage().Handle();
    HWND box = ::GetDlgItem(menu, IDC_MENU_SOFTWARE);
    const LRESULT length = ::GetWindowTextLengthW(box);
    ASSERT_EQ(WindowText(box), L"TOVRA {A1}\r\nTOVRA {B2}");

    // Real key presses go to the focus of the foreground window.
    ::SetForegroundWindow(dlg.Handle());
    PumpMessages();  // activation puts the focus back where the dialog had it
    ::SetFocus(box);
    PumpMessages();
    ASSERT_EQ(::GetFocus(), box);
    g_editProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingEditProc)));
    const auto selection = [box] {
        DWORD start = 0;
        DWORD end = 0;
        ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return std::make_pair(start, end);
    };
    // Types A, with Ctrl held or not, as the keyboard does, and waits until the
    // key up has been handled.
    const auto typeA = [](bool control) {
        std::vector<INPUT> inputs;
        const auto key = [&inputs](WORD vk, bool up) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        };
        if (control) key(VK_CONTROL, false);
        key('A', false);
        key('A', true);
        if (control) key(VK_CONTROL, true);
        ASSERT_EQ(::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
        for (int i = 0; i < 100 && ::GetQueueStatus(QS_INPUT) == 0; ++i) ::Sleep(10);
        PumpMessages();
    };

    ::SendMessageW(box, EM_SETSEL, 0, 0);
    typeA(false);
    EXPECT_EQ(g_keysInBox, 1) << "A alone is an ordinary key of the box";
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, DWORD{0}));

    typeA(true);
    EXPECT_EQ(g_keysInBox, 1) << "the page took Ctrl+A before the box saw it";
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, static_cast<DWORD>(length)));

    ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
}

}  // namespace
}  // namespace qx
