#include "pages/standard_message.h"

#include "platform/restart.h"
#include "platform/ui.h"
#include "resource.h"

namespace qx {
namespace {

UINT StandardMessageStyle(UINT style)
{
    if (style & MB_ICONMASK) return style;
    switch (style & MB_TYPEMASK) {
    case MB_OK:
        return style | MB_ICONEXCLAMATION;
    case MB_YESNO:
        return style | MB_ICONQUESTION;
    default:
        return style;
    }
}

}  // namespace

int ShowStandardMessage(HWND window, UINT textId, UINT style)
{
    return ShowStandardMessageText(window, LoadResourceString(textId), style);
}

int ShowStandardMessageText(HWND window, const std::wstring& text, UINT style)
{
    HWND owner = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
    return ShowMessageBox(owner, text, ProgramName(), StandardMessageStyle(style));
}

void OfferRestart(HWND mainWindow)
{
    if (ShowStandardMessage(mainWindow, IDS_REGISTRY_SET_RESTART, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        RestartComputer(mainWindow);
    }
}

int ShowSaveMessage(const std::wstring& text, UINT style)
{
    return ShowMessageBox(nullptr, text, LoadResourceString(IDS_SAVE_CAPTION), style);
}

int ShowSaveMessage(UINT textId, UINT style) { return ShowSaveMessage(LoadResourceString(textId), style); }

void ShowOutputWriteFailed() { ShowSaveMessage(IDS_OUTPUT_WRITE_FAILED, MB_ICONINFORMATION); }

}  // namespace qx
