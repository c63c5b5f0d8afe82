#include "app/main_dlg.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(Shell, OpensWithMenuPage)
{
    CMainDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    EXPECT_EQ(dlg.PageCount(), 10);
    EXPECT_EQ(dlg.CurrentIndex(), 0);
}

}  // namespace
}  // namespace qx
