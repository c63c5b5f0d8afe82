// The page sheet's own rules, with pages that count their activations and can
// refuse to be left.

#include "pages/page.h"
#include "pages/page_sheet.h"
#include "resource.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

// Whether the sheet shows the page; the sheet itself may be hidden in these tests.
bool Shown(const CPage& page) { return ::GetWindowLongPtrW(page.Handle(), GWL_STYLE) & WS_VISIBLE; }

class CountingPage : public CPage {
public:
    using CPage::CPage;
    BOOL OnPageActivate(int param) override
    {
        ++activations;
        lastParam = param;
        return CPage::OnPageActivate(param);
    }
    BOOL CanLeavePage() override { return mayLeave; }

    int activations = 0;
    int lastParam = -1;
    BOOL mayLeave = TRUE;
};

class TestSheet : public CPageSheet {
public:
    TestSheet() : CPageSheet(IDD_MAIN_DLG)
    {
        AddPage(first);
        AddPage(second);
        AddPage(sameIdAsFirst);
    }
    CountingPage first{IDD_LOGSETTING_PAGE};
    CountingPage second{IDD_VLXLOGSETTING_PAGE};
    CountingPage sameIdAsFirst{IDD_LOGSETTING_PAGE};
};

TEST(PageSheet, ShowsTheStoredIndexWhenItOpens)
{
    TestSheet sheet;
    EXPECT_TRUE(sheet.ShowPage(1, 7)) << "before the window exists only the index is stored";
    EXPECT_EQ(sheet.second.activations, 0);
    ASSERT_NE(sheet.Create(nullptr), nullptr);
    EXPECT_EQ(sheet.CurrentIndex(), 1);
    EXPECT_TRUE(Shown(sheet.second));
    EXPECT_FALSE(Shown(sheet.first));
    EXPECT_EQ(sheet.second.activations, 1);
    EXPECT_EQ(sheet.second.lastParam, 0) << "the opening shows the page with param 0";
}

TEST(PageSheet, PageThatRefusesToBeLeftStaysCurrent)
{
    TestSheet sheet;
    ASSERT_NE(sheet.Create(nullptr), nullptr);
    sheet.first.mayLeave = FALSE;
    EXPECT_FALSE(sheet.ShowPage(1, 0));
    EXPECT_EQ(sheet.CurrentIndex(), 0);
    EXPECT_TRUE(Shown(sheet.first));
    EXPECT_FALSE(Shown(sheet.second));
    EXPECT_EQ(sheet.second.activations, 0);

    // Showing the current page again does not ask it.
    EXPECT_TRUE(sheet.ShowPage(0, 3));
    EXPECT_EQ(sheet.first.activations, 2);
    EXPECT_EQ(sheet.first.lastParam, 3);
}

TEST(PageSheet, PageIdLooksUpTheFirstPageWithThatId)
{
    TestSheet sheet;
    ASSERT_NE(sheet.Create(nullptr), nullptr);
    ASSERT_TRUE(sheet.second.ShowPageById(IDD_LOGSETTING_PAGE, 5));
    EXPECT_EQ(sheet.CurrentIndex(), 0);
    EXPECT_EQ(sheet.first.lastParam, 5);
    EXPECT_EQ(sheet.sameIdAsFirst.activations, 0);
}

TEST(PageSheet, DestroyingTheSheetDestroysEveryPageWindow)
{
    TestSheet sheet;
    ASSERT_NE(sheet.Create(nullptr), nullptr);
    HWND pages[] = {sheet.first.Handle(), sheet.second.Handle(), sheet.sameIdAsFirst.Handle()};
    ::DestroyWindow(sheet.Handle());
    for (HWND page : pages) EXPECT_FALSE(::IsWindow(page));
    EXPECT_EQ(sheet.first.Handle(), nullptr);
}

TEST(PageSheet, FirstTabStopOfTheShownPageGetsTheFocus)
{
    TestSheet sheet;
    ASSERT_NE(sheet.Create(nullptr), nullptr);
    ::ShowWindow(sheet.Handle(), SW_SHOW);
    ::SetForegroundWindow(sheet.Handle());
    ASSERT_TRUE(sheet.ShowPage(1, 0));
    test::PumpMessages();
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(sheet.second.Handle(), IDC_VLX_EXEC));
}

}  // namespace
}  // namespace qx
