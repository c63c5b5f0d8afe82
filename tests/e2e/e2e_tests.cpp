// QXDIAG.exe as its own process, driven from outside through its windows.

#include "driver.h"
#include "resource.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <tuple>

namespace qx::e2e {

// Failure messages name a row of the navigation table by its ids.
void PrintTo(const NavigationButton& row, std::ostream* out)
{
    *out << "button " << row.button << " on " << row.from << " shows " << row.shows
         << (row.hidden ? " (hidden)" : "");
}

namespace {

constexpr int kAllPages[] = {
    IDD_MENU_PAGE,
    IDD_LOGSETTING_PAGE,
    IDD_EVENTLOG_PAGE,
    IDD_COLLECTSETTING_PAGE,
    IDD_CLEARCOLLECTSETTING_PAGE,
    IDD_VLXLOGSETTING_PAGE,
    IDD_VLXLOGEXEC_PAGE,
    IDD_VLXCONSOLELOG_PAGE,
    IDD_COLLECTVLXLOG_PAGE,
    IDD_CLEARCOLLECTVLXLOG_PAGE,
};

TEST_F(ToolOnMenu, OpensAllTenPagesWithOnlyTheMenuShownAndFitsThem)
{
    std::multiset<int> pages;
    RECT client{};
    ::GetClientRect(sheet_, &client);
    for (HWND child = ::GetWindow(sheet_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = PageIdOf(child);
        pages.insert(id);
        RECT page{};
        ::GetWindowRect(child, &page);
        EXPECT_EQ(page.right - page.left, client.right) << "page " << id;
        EXPECT_EQ(page.bottom - page.top, client.bottom) << "page " << id;
    }
    EXPECT_EQ(pages, std::multiset<int>(std::begin(kAllPages), std::end(kAllPages)));
    EXPECT_EQ(DescribePages(sheet_), "146");
}

TEST_F(ToolOnMenu, MenuShowsTheFileVersionOfTheRunningExe)
{
    wchar_t text[64] = {};
    ::GetWindowTextW(::GetDlgItem(CurrentPageWindow(sheet_), IDC_MENU_VERSION), text, 64);
    EXPECT_STREQ(text, L"Version: 2.1.0.26611");
}

class Navigation : public ToolOnMenu, public testing::WithParamInterface<NavigationButton> {};

TEST_P(Navigation, ButtonShowsItsPageAndBothBackAndEscReturnToTheParent)
{
    const NavigationButton& row = GetParam();
    const int parent = ParentPage(row.shows);
    ASSERT_TRUE(GoFromMenu(sheet_, row.from)) << "page shown: " << DescribePages(sheet_);

    HWND button = ::GetDlgItem(CurrentPageWindow(sheet_), row.button);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(::IsWindowVisible(button) != FALSE, !row.hidden);

    ASSERT_TRUE(Navigate(sheet_, row)) << "page shown: " << DescribePages(sheet_);
    HWND shown = CurrentPageWindow(sheet_);
    ASSERT_TRUE(ClickButton(shown, IDCANCEL)) << "no enabled button 2 on " << row.shows;
    ASSERT_TRUE(WaitForPage(sheet_, parent)) << "after 戻る, page shown: " << DescribePages(sheet_);
    EXPECT_FALSE(::IsWindowVisible(shown));
    EXPECT_FALSE(::IsWindowEnabled(shown)) << "a page that was left stays disabled";

    ASSERT_TRUE(Navigate(sheet_, row)) << "page shown: " << DescribePages(sheet_);
    ASSERT_TRUE(PressKey(sheet_, VK_ESCAPE));
    ASSERT_TRUE(WaitForPage(sheet_, parent)) << "after Esc, page shown: " << DescribePages(sheet_);

    ASSERT_TRUE(BackToMenu(sheet_)) << "page shown: " << DescribePages(sheet_);
}

INSTANTIATE_TEST_SUITE_P(Table, Navigation, testing::ValuesIn(NavigationTable().begin(), NavigationTable().end()),
                         [](const testing::TestParamInfo<NavigationButton>& info) {
                             return "On" + std::to_string(info.param.from) + "Button" +
                                    std::to_string(info.param.button) + "Shows" + std::to_string(info.param.shows);
                         });

TEST_F(ToolOnMenu, EnterOnTheFocusedButtonPressesIt)
{
    HWND menu = CurrentPageWindow(sheet_);
    ASSERT_EQ(FocusOf(sheet_), ::GetDlgItem(menu, IDC_MENU_COLLECT)) << "the first tab stop has the focus";
    ASSERT_TRUE(PressKey(sheet_, VK_RETURN));
    ASSERT_TRUE(WaitForPage(sheet_, IDD_EVENTLOG_PAGE)) << "page shown: " << DescribePages(sheet_);
    ASSERT_TRUE(BackToMenu(sheet_));
}

TEST_F(ToolOnMenu, SystemMenuCommandOpensTheAboutBoxModally)
{
    // Only the high twelve bits of a system command count.
    const struct {
        WPARAM command;
        bool closeWithEsc;
    } cases[] = {{0x0010, false}, {0x001F, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "WM_SYSCOMMAND " << c.command << (c.closeWithEsc ? ", Esc" : ", OK"));
        ASSERT_TRUE(PostSysCommand(sheet_, c.command));
        HWND about = WaitForDialog(app_->ProcessId(), kCaption, sheet_);
        ASSERT_NE(about, nullptr) << "no about box owned by the main window";
        EXPECT_NE(::FindWindowExW(about, nullptr, L"Static", L"TOVRA DIAG"), nullptr);
        EXPECT_EQ(::GetDlgCtrlID(::FindWindowExW(about, nullptr, L"Button", L"OK")), IDOK);
        EXPECT_FALSE(::IsWindowEnabled(sheet_)) << "the main window waits behind the modal about box";

        if (c.closeWithEsc) {
            ASSERT_TRUE(WaitUntil([&] { return ::IsChild(about, FocusOf(about)); }));
            ASSERT_TRUE(PressKey(about, VK_ESCAPE));
        } else {
            ASSERT_TRUE(ClickButton(about, IDOK));
        }
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(about); })) << "the about box stays open";
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(sheet_) != FALSE; }));
        EXPECT_TRUE(app_->Running());
        EXPECT_TRUE(WaitForPage(sheet_, IDD_MENU_PAGE)) << "page shown: " << DescribePages(sheet_);
    }
}

TEST_F(ToolOnMenu, CapturesTheFramedWindowAsA24BitBmp)
{
    const std::optional<Image> image = CaptureSettled(sheet_);
    ASSERT_TRUE(image);
    RECT window{};
    ::GetWindowRect(sheet_, &window);
    EXPECT_EQ(image->width, window.right - window.left);
    EXPECT_EQ(image->height, window.bottom - window.top);
    EXPECT_GT(std::set<std::uint8_t>(image->pixels.begin(), image->pixels.end()).size(), 16u)
        << "the capture is nearly uniform: nothing was drawn";

    wchar_t directory[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, directory);
    const std::filesystem::path file = std::filesystem::path(directory) / L"qxdiag-e2e-capture.bmp";
    ASSERT_TRUE(SaveBmp(*image, file));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::filesystem::remove(file);

    BITMAPFILEHEADER header{};
    BITMAPINFOHEADER info{};
    ASSERT_GE(bytes.size(), sizeof header + sizeof info);
    std::memcpy(&header, bytes.data(), sizeof header);
    std::memcpy(&info, bytes.data() + sizeof header, sizeof info);
    EXPECT_EQ(header.bfType, 0x4D42);
    EXPECT_EQ(header.bfSize, bytes.size());
    EXPECT_EQ(header.bfOffBits, sizeof header + sizeof info);
    EXPECT_EQ(std::make_tuple(info.biWidth, info.biHeight, info.biBitCount, info.biCompression),
              std::make_tuple(LONG{image->width}, LONG{image->height}, WORD{24}, DWORD{BI_RGB}));
    EXPECT_EQ(bytes.compare(header.bfOffBits, std::string::npos,
                            reinterpret_cast<const char*>(image->pixels.data()), image->pixels.size()),
              0);
}

// Every way out of the tool ends the process with exit code 0.
enum class Exit { EscOnMenu, CloseButton, CloseMessage, CloseSysCommand };

class Closing : public testing::TestWithParam<Exit> {};

TEST_P(Closing, EndsTheProcessWithExitCode0)
{
    App app;
    ASSERT_TRUE(app.Start()) << "CreateProcessW failed: " << ::GetLastError();
    HWND sheet = app.WaitForMainWindow();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(WaitForPage(sheet, IDD_MENU_PAGE)) << "page shown: " << DescribePages(sheet);

    switch (GetParam()) {
    case Exit::EscOnMenu:
        ASSERT_TRUE(PressKey(sheet, VK_ESCAPE));
        break;
    case Exit::CloseButton:
        ASSERT_TRUE(ClickButton(CurrentPageWindow(sheet), IDCANCEL));
        break;
    case Exit::CloseMessage:
        ASSERT_TRUE(::PostMessageW(sheet, WM_CLOSE, 0, 0));
        break;
    case Exit::CloseSysCommand:
        ASSERT_TRUE(PostSysCommand(sheet, SC_CLOSE));
        break;
    }
    EXPECT_EQ(app.WaitForExit(), std::optional<DWORD>(0));
}

std::string ExitName(Exit exit)
{
    switch (exit) {
    case Exit::EscOnMenu:
        return "EscOnMenu";
    case Exit::CloseButton:
        return "CloseButton";
    case Exit::CloseMessage:
        return "WmClose";
    case Exit::CloseSysCommand:
        return "ScClose";
    }
    return "Unknown";
}

void PrintTo(Exit exit, std::ostream* out) { *out << ExitName(exit); }

INSTANTIATE_TEST_SUITE_P(AllWays, Closing,
                         testing::Values(Exit::EscOnMenu, Exit::CloseButton, Exit::CloseMessage,
                                         Exit::CloseSysCommand),
                         [](const testing::TestParamInfo<Exit>& info) { return ExitName(info.param); });

}  // namespace
}  // namespace qx::e2e
