#pragma once
// One run of the tool serves every test of a suite that leaves it as it found
// it: on page `PageId`, with no other window open. A test that stops half-way
// leaves it otherwise; the next test then starts a new run.

#include "driver.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <memory>

namespace qx::e2e {

template <int PageId>
class ToolOnPage : public testing::Test {
protected:
    static void TearDownTestSuite()
    {
        if (app_ && app_->Running()) {
            PostSysCommand(app_->MainWindow(), SC_CLOSE);
            if (!app_->WaitForExit()) app_->Kill();
        }
        app_.reset();
    }

    void SetUp() override
    {
        if (!app_ || !app_->Running() || ShownWindowCount(app_->ProcessId()) != 1 ||
            !::IsWindowEnabled(app_->MainWindow()) || CurrentPageId(app_->MainWindow()) != PageId) {
            app_ = std::make_unique<App>();
            ASSERT_TRUE(app_->Start()) << "CreateProcessW failed: " << ::GetLastError();
            ASSERT_NE(app_->WaitForMainWindow(), nullptr) << "no main window \"TOVRA DIAG\"";
            ASSERT_TRUE(WaitForPage(app_->MainWindow(), IDD_MENU_PAGE)) << DescribePages(app_->MainWindow());
            ASSERT_TRUE(GoFromMenu(app_->MainWindow(), PageId)) << "page shown: " << DescribePages(app_->MainWindow());
        }
        sheet_ = app_->MainWindow();
        ASSERT_TRUE(WaitForPage(sheet_, PageId)) << "page shown: " << DescribePages(sheet_);
    }

    static inline std::unique_ptr<App> app_;
    HWND sheet_ = nullptr;
};

using ToolOnMenu = ToolOnPage<IDD_MENU_PAGE>;

}  // namespace qx::e2e
