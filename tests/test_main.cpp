// gtest_main does not link with -municode; this is its wide-character twin.
#include <gmock/gmock.h>

#include <windows.h>
#include <commctrl.h>

int wmain(int argc, wchar_t** argv)
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
