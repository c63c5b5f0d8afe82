#pragma once
// The debug-log pages in-process: the main window with every page on the real
// registry, the product's keys moved aside for each test; message boxes and
// the restart through their seams, so that a test sees every box in order and
// whether Windows would have been asked to restart.

#include "app/main_dlg.h"
#include "platform/restart.h"
#include "platform/ui.h"
#include "registry_fixture.h"
#include "settings/product_settings.h"
#include "settings/settings_journal.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace qx::test {

struct Box {
    std::wstring Text;
    std::wstring Caption;
    UINT Style;
    HWND Owner;
    bool operator==(const Box&) const = default;
};
inline void PrintTo(const Box& box, std::ostream* out)
{
    *out << testing::PrintToString(box.Text) << " / " << testing::PrintToString(box.Caption) << " style " << box.Style
         << " owner " << box.Owner;
}

// What ExitWindowsEx would have been asked.
struct RestartCall {
    UINT Flags;
    DWORD Reason;
    bool operator==(const RestartCall&) const = default;
};
inline const RestartCall kPlainRestart{EWX_REBOOT, 0};

// The six values of the debug-log pages, in the order of ProductSettingValues.
inline std::vector<StoredValue> StoredDebugLogValues()
{
    std::vector<StoredValue> values;
    for (ProductSetting id : {ProductSetting::LogPath, ProductSetting::LogLevel, ProductSetting::LogType,
                              ProductSetting::LogDays, ProductSetting::DumpType, ProductSetting::DumpFolder}) {
        values.push_back(Stored(Setting(id).Key, Setting(id).Name));
    }
    return values;
}

// A drive letter that this machine does not have, as "Q:".
inline std::wstring MissingDrive()
{
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        if (!(drives & (1u << (letter - L'A')))) return std::wstring(1, letter) + L":";
    }
    ADD_FAILURE() << "every drive letter is taken";
    return L"Q:";
}

inline bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class SettingsPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        Seams().messageBox = [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
            asked.push_back({text, caption, style, owner});
            if (answers.empty()) return IDNO;
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        };
        TheRestartSeam().exitWindows = [this](UINT flags, DWORD reason) {
            restarts.push_back({flags, reason});
            return TRUE;
        };
        ASSERT_NE(dlg.Create(nullptr), nullptr);
        ::ShowWindow(dlg.Handle(), SW_SHOW);
    }
    void TearDown() override
    {
        Seams() = savedSeams_;
        TheRestartSeam() = savedRestart_;
    }

    HWND PageWindow(int pageId) const { return dlg.Page(dlg.IndexOfPage(pageId))->Handle(); }
    int CurrentPageId() const { return dlg.Page(dlg.CurrentIndex())->PageId; }
    // Brings the page forward, which makes it read the registry afresh.
    void Show(int pageId) { dlg.MenuPage().ShowPageById(pageId, 0); }
    std::wstring Text(int pageId, int control) const { return WindowText(::GetDlgItem(PageWindow(pageId), control)); }

    // Presses a button of the current page; true when the main window was
    // then asked to close, as an accepted restart does.
    bool Click(int control)
    {
        ::SendMessageW(::GetDlgItem(PageWindow(CurrentPageId()), control), BM_CLICK, 0, 0);
        MSG msg;
        const bool closing = ::PeekMessageW(&msg, dlg.Handle(), WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
        PumpMessages();
        return closing;
    }

    // The standard message box of the settings pages.
    Box Standard(const std::wstring& text, UINT style) const { return {text, test::kTestProgramName, style, dlg.Handle()}; }

private:
    const UiSeams savedSeams_ = Seams();
    const RestartSeam savedRestart_ = TheRestartSeam();
    const MovedAside aside_{{kProductKey, kLocalDumpsKey, kToolKey}};

protected:
    CMainDlg dlg;
    std::vector<Box> asked;
    // Given to the message boxes in turn; IDNO once they run out.
    std::deque<int> answers;
    std::vector<RestartCall> restarts;
};

}  // namespace qx::test
