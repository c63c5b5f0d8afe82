// The main window as a page sheet: opening, the navigation table, Back and Esc,
// keys on pages, the system menu and the about box.

#include "app/main_dlg.h"
#include "resource.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

using test::FocusOrFirstTabStop;
using test::PressKey;
using test::PumpMessages;

class MainDlgTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(dlg_.Create(nullptr), nullptr);
        ::ShowWindow(dlg_.Handle(), SW_SHOW);
        PumpMessages();
    }

    HWND PageWindow(int pageId) const
    {
        CPage* page = dlg_.Page(dlg_.IndexOfPage(pageId));
        return page ? page->Handle() : nullptr;
    }
    int CurrentPageId() const { return dlg_.Page(dlg_.CurrentIndex())->PageId; }
    void Show(int pageId)
    {
        ASSERT_TRUE(dlg_.ShowPage(dlg_.IndexOfPage(pageId), 0));
        PumpMessages();
    }
    // The sheet shows `pageId`, and nothing else is visible.
    void ExpectCurrent(int pageId)
    {
        EXPECT_EQ(CurrentPageId(), pageId);
        EXPECT_EQ(::GetWindowContextHelpId(dlg_.Handle()), static_cast<DWORD>(pageId));
        for (int i = 0; i < dlg_.PageCount(); ++i) {
            HWND page = dlg_.Page(i)->Handle();
            EXPECT_EQ(::IsWindowVisible(page) != FALSE, dlg_.Page(i)->PageId == pageId && i == dlg_.CurrentIndex())
                << "page " << dlg_.Page(i)->PageId;
        }
        EXPECT_TRUE(::IsWindowEnabled(PageWindow(pageId)));
    }

    CMainDlg dlg_;
};

TEST_F(MainDlgTest, OpensWithTenPagesInFixedOrderAndTheMenuPageShown)
{
    const int expectedOrder[] = {146, 148, 102, 149, 151, 154, 155, 156, 204, 205};
    ASSERT_EQ(dlg_.PageCount(), 10);

    RECT client{};
    ::GetClientRect(dlg_.Handle(), &client);
    for (int i = 0; i < dlg_.PageCount(); ++i) {
        CPage* page = dlg_.Page(i);
        SCOPED_TRACE(page->PageId);
        EXPECT_EQ(page->PageId, expectedOrder[i]);
        EXPECT_EQ(page->TemplateId(), static_cast<UINT>(page->PageId));
        HWND hwnd = page->Handle();
        ASSERT_TRUE(::IsWindow(hwnd));
        EXPECT_EQ(::GetParent(hwnd), dlg_.Handle());

        const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_FALSE(style & (WS_CAPTION | WS_SYSMENU));
        EXPECT_TRUE(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);

        // Every page sits at the client origin and exactly fills the client area.
        RECT rect{};
        ::GetWindowRect(hwnd, &rect);
        ::MapWindowPoints(HWND_DESKTOP, dlg_.Handle(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right, client.right);
        EXPECT_EQ(rect.bottom, client.bottom);
        // Pages never shown stay enabled.
        EXPECT_TRUE(::IsWindowEnabled(hwnd));
    }
    ExpectCurrent(146);
}

struct ForwardRow {
    int from;
    int button;
    const wchar_t* text;
    int to;
    int param;
};

const ForwardRow kForwardRows[] = {
    {146, IDC_MENU_COLLECT, L"ログ・設定の取得", 102, 0},
    {146, IDC_MENU_LOGSETTING, L"TOVRAデバッグログの設定", 148, 0},
    {146, IDC_MENU_VLXLOGSETTING, L"Vorlixのログ設定", 154, 0},
    {148, IDC_LOG_COLLECTSETTING, L"デバッグログの取得設定", 149, 0},
    {148, IDC_LOG_CLEARSETTING, L"デバッグログの取得設定を解除", 151, 0},
    {148, IDC_LOG_VLXCOLLECT, L"Vorlixログの取得設定", 204, 0},
    {148, IDC_LOG_VLXCLEAR, L"Vorlixログの取得設定を解除", 205, 0},
    {154, IDC_VLX_EXEC, L"調査用Vorlixの起動", 155, 0},
    {154, IDC_VLX_EDGE, L"Edge拡張機能のコンソールログ取得設定", 156, kBrowserEdge},
    {154, IDC_VLX_CHROME, L"Chrome拡張機能のコンソールログ取得設定", 156, kBrowserChrome},
};

TEST_F(MainDlgTest, EveryForwardButtonShowsItsPage)
{
    for (const ForwardRow& row : kForwardRows) {
        SCOPED_TRACE(testing::Message() << row.from << " button " << row.button);
        Show(row.from);
        // Leave the console page on the other variant, to see the parameter arrive.
        dlg_.ConsoleLogPage().OnPageActivate(1 - row.param);

        HWND from = PageWindow(row.from);
        HWND button = ::GetDlgItem(from, row.button);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(WindowText(button), row.text);
        if (::IsWindowVisible(button)) {
            ::SendMessageW(button, BM_CLICK, 0, 0);
        } else {
            // Button 1033 is hidden on the menu page; its command still works.
            ::SendMessageW(from, WM_COMMAND, MAKEWPARAM(row.button, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        }
        PumpMessages();

        ExpectCurrent(row.to);
        EXPECT_FALSE(::IsWindowEnabled(from)) << "the page left is disabled";
        if (row.to == 156) {
            EXPECT_EQ(dlg_.ConsoleLogPage().Browser(), row.param);
        }
    }
}

TEST_F(MainDlgTest, MenuButtonOfTheVorlixPagesIsHidden)
{
    HWND menu = PageWindow(146);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(menu, IDC_MENU_VLXLOGSETTING)));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(menu, IDC_MENU_COLLECT)));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(menu, IDC_MENU_LOGSETTING)));
}

struct BackRow {
    int page;
    const wchar_t* buttonText;
    int parent;
};

const BackRow kBackRows[] = {
    {148, L"戻る", 146}, {102, L"戻る", 146}, {154, L"戻る", 146}, {149, L"戻る", 148}, {151, L"戻る", 148},
    {204, L"戻る", 148}, {205, L"戻る", 148}, {155, L"戻る", 154}, {156, L"戻る", 154},
};

// Some page that is neither `row.page` nor its parent, visited just before, so
// that going back to it would show a history.
int UnrelatedPage(const BackRow& row) { return row.parent == 146 ? 205 : 102; }

TEST_F(MainDlgTest, BackButtonGoesToTheFixedParentNeverToHistory)
{
    for (const BackRow& row : kBackRows) {
        SCOPED_TRACE(row.page);
        Show(UnrelatedPage(row));
        Show(row.page);
        HWND back = ::GetDlgItem(PageWindow(row.page), IDCANCEL);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(WindowText(back), row.buttonText);
        ::SendMessageW(back, BM_CLICK, 0, 0);
        PumpMessages();
        ExpectCurrent(row.parent);
        EXPECT_FALSE(::IsWindowVisible(PageWindow(row.page)));
        EXPECT_FALSE(::IsWindowEnabled(PageWindow(row.page)));
    }
}

TEST_F(MainDlgTest, EscGoesToTheFixedParent)
{
    for (const BackRow& row : kBackRows) {
        SCOPED_TRACE(row.page);
        Show(UnrelatedPage(row));
        Show(row.page);
        PressKey(FocusOrFirstTabStop(PageWindow(row.page)), VK_ESCAPE);
        ExpectCurrent(row.parent);
        EXPECT_FALSE(dlg_.ModalRunning());
    }
}

TEST_F(MainDlgTest, EnterPressesTheFocusedButtonNotTheDefaultOne)
{
    // Page 102 has "保存(&S)..." as its default button; with "戻る" focused, Enter goes back.
    Show(102);
    HWND page = PageWindow(102);
    ::SendMessageW(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(page, IDCANCEL)), TRUE);
    PressKey(::GetDlgItem(page, IDCANCEL), VK_RETURN);
    ExpectCurrent(146);

    // On the menu page, Enter on the focused second button opens the debug-log menu.
    HWND menu = PageWindow(146);
    HWND logSetting = ::GetDlgItem(menu, IDC_MENU_LOGSETTING);
    ::SendMessageW(menu, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(logSetting), TRUE);
    PressKey(logSetting, VK_RETURN);
    ExpectCurrent(148);
}

TEST_F(MainDlgTest, ShowingTheCurrentPageActivatesItAgain)
{
    Show(154);
    CVLXConsoleLogPage& console = dlg_.ConsoleLogPage();
    ASSERT_TRUE(console.ShowPageById(156, kBrowserEdge));
    EXPECT_EQ(console.Browser(), kBrowserEdge);
    ASSERT_TRUE(console.ShowPageById(156, kBrowserChrome));
    EXPECT_EQ(console.Browser(), kBrowserChrome);
    PumpMessages();
    ExpectCurrent(156);
    EXPECT_FALSE(::IsWindowEnabled(PageWindow(154)));
}

TEST_F(MainDlgTest, UnknownPageIdsAndIndexesChangeNothing)
{
    Show(148);
    EXPECT_FALSE(dlg_.MenuPage().ShowPageById(999, 0));
    EXPECT_FALSE(dlg_.ShowPage(10, 0));
    EXPECT_FALSE(dlg_.ShowPage(-1, 0));
    ExpectCurrent(148);
}

TEST_F(MainDlgTest, SystemMenuEndsWithSeparatorAndAbout)
{
    HMENU menu = ::GetSystemMenu(dlg_.Handle(), FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);

    MENUITEMINFOW separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(::GetMenuItemInfoW(menu, count - 2, TRUE, &separator));
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);

    wchar_t text[64] = {};
    MENUITEMINFOW about{};
    about.cbSize = sizeof about;
    about.fMask = MIIM_ID | MIIM_STRING;
    about.dwTypeData = text;
    about.cch = static_cast<UINT>(std::size(text));
    ASSERT_TRUE(::GetMenuItemInfoW(menu, count - 1, TRUE, &about));
    EXPECT_EQ(about.wID, kAboutCommand);
    EXPECT_STREQ(text, L"&About...");
}

TEST_F(MainDlgTest, SystemCommandsWithTheAboutIdInTheHighBitsOpenTheAboutBox)
{
    for (UINT command = 0x0010; command <= 0x001F; ++command) {
        SCOPED_TRACE(command);
        HWND aboutWindow = nullptr;
        const int seen = test::WhileRunning(
            IDD_ABOUTBOX, [&] { ::SendMessageW(dlg_.Handle(), WM_SYSCOMMAND, command, 0); },
            [&](HWND about) {
                aboutWindow = about;
                EXPECT_EQ(::GetWindow(about, GW_OWNER), dlg_.Handle());
                EXPECT_EQ(WindowText(about), L"TOVRA DIAG");
                EXPECT_FALSE(::IsWindowEnabled(dlg_.Handle())) << "the about box is modal";
                // Alternate the two ways out: OK and Esc.
                if (command % 2) {
                    ::PostMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
                } else {
                    ::PostMessageW(::GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 1);
                }
            });
        EXPECT_EQ(seen, 1);
        EXPECT_FALSE(::IsWindow(aboutWindow));
        EXPECT_TRUE(::IsWindowEnabled(dlg_.Handle()));
    }
}

TEST_F(MainDlgTest, OtherSystemCommandIdsDoNotOpenTheAboutBox)
{
    for (UINT command : {0x0020u, 0x0100u}) {
        const int seen = test::WhileRunning(
            IDD_ABOUTBOX, [&] { ::SendMessageW(dlg_.Handle(), WM_SYSCOMMAND, command, 0); },
            [](HWND about) { ::PostMessageW(about, WM_COMMAND, IDOK, 0); });
        EXPECT_EQ(seen, 0) << command;
    }
}

TEST_F(MainDlgTest, WindowIconIsIcon130)
{
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(dlg_.Icon(), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dlg_.Handle(), WM_GETICON, ICON_BIG, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dlg_.Handle(), WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dlg_.Handle(), WM_QUERYDRAGICON, 0, 0)), icon);
}

TEST(DrawIconCentred, PaintsTheIconInTheMiddleOfTheArea)
{
    const int size = 3 * ::GetSystemMetrics(SM_CXICON);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size, size);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    const RECT area{0, 0, size, size};
    ::FillRect(dc, &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

    DrawIconCentred(dc, area, ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN)));

    const COLORREF white = RGB(255, 255, 255);
    EXPECT_NE(::GetPixel(dc, size / 2, size / 2), white) << "the icon covers the centre";
    const int icon = ::GetSystemMetrics(SM_CXICON);
    for (int edge : {icon - 2, 2 * icon + 1}) {
        EXPECT_EQ(::GetPixel(dc, edge, size / 2), white) << edge;
        EXPECT_EQ(::GetPixel(dc, size / 2, edge), white) << edge;
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}

// The ways the main dialog ends, each run through the real modal loop.
class MainDlgModalTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(dlg_.Create(nullptr), nullptr); }
    HWND MenuPage() { return dlg_.MenuPage().Handle(); }
    CMainDlg dlg_;
};

TEST_F(MainDlgModalTest, EscOnTheMenuPageClosesTheTool)
{
    ::PostMessageW(::GetDlgItem(MenuPage(), IDC_MENU_COLLECT), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(test::RunModalWithTimeout(dlg_), IDCANCEL);
    EXPECT_EQ(dlg_.Handle(), nullptr) << "the window is destroyed when the run ends";
}

TEST_F(MainDlgModalTest, CloseButtonOnTheMenuPageClosesTheTool)
{
    HWND close = ::GetDlgItem(MenuPage(), IDCANCEL);
    EXPECT_EQ(WindowText(close), L"閉じる");
    ::PostMessageW(close, BM_CLICK, 0, 0);
    EXPECT_EQ(test::RunModalWithTimeout(dlg_), IDCANCEL);
}

TEST_F(MainDlgModalTest, CloseBoxClosesTheTool)
{
    ::PostMessageW(dlg_.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(test::RunModalWithTimeout(dlg_), IDCANCEL);
}

TEST_F(MainDlgModalTest, PageOkCommandIsForwardedAsEnterAndEndsTheSheet)
{
    // The page's IDOK arises when Enter meets no push button: the focus is elsewhere.
    ::PostMessageW(MenuPage(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(MenuPage(), IDC_MENU_SOFTWARE)), TRUE);
    ::PostMessageW(MenuPage(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(test::RunModalWithTimeout(dlg_), IDOK);
}

TEST_F(MainDlgModalTest, EscOnAnotherPageDoesNotCloseTheTool)
{
    dlg_.MenuPage().ShowPageById(148, 0);
    HWND logPage = dlg_.Page(dlg_.CurrentIndex())->Handle();
    ::PostMessageW(::GetDlgItem(logPage, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(test::RunModalWithTimeout(dlg_, 1000), -2) << "still running when the timeout ended it";
    EXPECT_EQ(dlg_.CurrentIndex(), 0) << "Esc went back to the menu page";
}

}  // namespace
}  // namespace qx
