#pragma once
// The message boxes that pages share: the standard box of the settings and
// Vorlix pages, the restart offer that ends a settings change, and the box of
// a Save.

#include <windows.h>

#include <string>

namespace qx {

// The standard message box of the settings and Vorlix pages: string `textId`,
// captioned with the program's name (ProgramName), owned by the main window
// (the root of `window`, which may be any window inside it). A style without an
// icon gets one: MB_OK the exclamation, MB_YESNO the question.
int ShowStandardMessage(HWND window, UINT textId, UINT style);
// The same box with a text made at run time.
int ShowStandardMessageText(HWND window, const std::wstring& text, UINT style);

// Asks whether to restart (IDS_REGISTRY_SET_RESTART, the standard box owned by
// `mainWindow`) and restarts Windows on Yes. A refused restart goes
// unreported: the caller moves on anyway.
void OfferRestart(HWND mainWindow);

// A box of a Save, captioned IDS_SAVE_CAPTION and owned by no window, so that
// the main window stays usable while it is shown.
int ShowSaveMessage(const std::wstring& text, UINT style);
int ShowSaveMessage(UINT textId, UINT style);

// The Save box saying that the output folder cannot be written (IDS_OUTPUT_WRITE_FAILED).
void ShowOutputWriteFailed();

}  // namespace qx
