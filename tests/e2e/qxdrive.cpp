// Drives QXDIAG.exe for the project's scripts.
//   qxdrive shots DIR   starts the tool, reaches every page through its buttons and
//                       saves each, then the about box, as DIR\<id>-<name>.bmp
// Exits 0 when every picture was saved and the tool ended with exit code 0.

#include "driver.h"
#include "resource.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace qx::e2e {
namespace {

struct Shot {
    const wchar_t* name;
    std::initializer_list<int> buttons;  // pressed in turn from the menu page
};

const Shot kPageShots[] = {
    {L"146-menu", {}},
    {L"148-log-settings", {IDC_MENU_LOGSETTING}},
    {L"102-collect", {IDC_MENU_COLLECT}},
    {L"149-debuglog-on", {IDC_MENU_LOGSETTING, IDC_LOG_COLLECTSETTING}},
    {L"151-debuglog-off", {IDC_MENU_LOGSETTING, IDC_LOG_CLEARSETTING}},
    {L"154-vorlix-menu", {IDC_MENU_VLXLOGSETTING}},
    {L"155-vorlix-exec", {IDC_MENU_VLXLOGSETTING, IDC_VLX_EXEC}},
    {L"156-console-edge", {IDC_MENU_VLXLOGSETTING, IDC_VLX_EDGE}},
    {L"156-console-chrome", {IDC_MENU_VLXLOGSETTING, IDC_VLX_CHROME}},
    {L"204-vorlix-log-on", {IDC_MENU_LOGSETTING, IDC_LOG_VLXCOLLECT}},
    {L"205-vorlix-log-off", {IDC_MENU_LOGSETTING, IDC_LOG_VLXCLEAR}},
};

constexpr WPARAM kAboutCommand = 0x0010;

bool Fail(const std::string& what)
{
    std::fprintf(stderr, "qxdrive: %s\n", what.c_str());
    return false;
}

bool Press(HWND sheet, int button)
{
    const int from = CurrentPageId(sheet);
    const auto table = NavigationTable();
    const auto row = std::find_if(table.begin(), table.end(),
                                  [&](const auto& r) { return r.from == from && r.button == button; });
    return row != table.end() && Navigate(sheet, *row);
}

bool Save(HWND window, const std::filesystem::path& file)
{
    const std::optional<Image> image = CaptureSettled(window);
    if (!image || !SaveBmp(*image, file)) return Fail("cannot capture " + file.string());
    std::printf("%s\n", file.string().c_str());
    return true;
}

bool Shots(App& app, const std::filesystem::path& directory)
{
    HWND sheet = app.WaitForMainWindow();
    if (!sheet) return Fail("no main window \"TOVRA DIAG\"");
    for (const Shot& shot : kPageShots) {
        if (!BackToMenu(sheet)) return Fail("cannot return to the menu page from " + DescribePages(sheet));
        for (int button : shot.buttons) {
            if (!Press(sheet, button)) {
                return Fail("button " + std::to_string(button) + " did not lead on; page shown: " + DescribePages(sheet));
            }
        }
        if (!WaitForPage(sheet, CurrentPageId(sheet))) return Fail("no page settled");
        if (!Save(sheet, directory / (std::wstring(shot.name) + L".bmp"))) return false;
    }

    if (!BackToMenu(sheet) || !PostSysCommand(sheet, kAboutCommand)) return Fail("cannot open the about box");
    HWND about = WaitForDialog(app.ProcessId(), kCaption, sheet);
    if (!about) return Fail("no about box");
    if (!Save(about, directory / L"100-about.bmp")) return false;
    if (!ClickButton(about, IDOK) || !WaitUntil([&] { return !::IsWindow(about); })) {
        return Fail("the about box does not close");
    }

    PostSysCommand(sheet, SC_CLOSE);
    const std::optional<DWORD> code = app.WaitForExit();
    if (code != 0u) return Fail("the tool did not end with exit code 0");
    return true;
}

}  // namespace
}  // namespace qx::e2e

int wmain(int argc, wchar_t** argv)
{
    using namespace qx::e2e;
    if (argc != 3 || std::wstring(argv[1]) != L"shots") {
        std::fprintf(stderr, "usage: qxdrive shots DIR\n");
        return 2;
    }
    const std::filesystem::path directory = argv[2];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    App app;
    if (!app.Start()) {
        std::fprintf(stderr, "qxdrive: cannot start %s (%lu)\n", QxdiagExePath().string().c_str(), ::GetLastError());
        return 1;
    }
    return Shots(app, directory) ? 0 : 1;
}
