#pragma once
// Dialog windows and the message loop. A Dialog object is attached to its window
// on WM_INITDIALOG and detached on WM_NCDESTROY; modal runs use our own loop so
// that every dialog on the way from a message's window up to its top-level
// window can pre-translate keys first.

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qx {

class Dialog {
public:
    explicit Dialog(UINT templateId) noexcept : templateId_(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window from the template, modeless; nullptr on failure.
    HWND Create(HWND parent);
    // Runs the dialog modally with `owner` disabled; returns the EndModal result,
    // or -1 when the window cannot be created. The window is destroyed on return.
    INT_PTR DoModal(HWND owner);
    // The modal loop of DoModal for a window made with Create; for callers that
    // need the window before the loop runs.
    INT_PTR RunModal(HWND owner);
    void EndModal(INT_PTR result);

    HWND Handle() const noexcept { return hwnd_; }
    UINT TemplateId() const noexcept { return templateId_; }
    bool ModalRunning() const noexcept { return modalRunning_; }

    // Called for every queued message aimed at this window or a descendant,
    // before it is dispatched; true consumes the message. The default is the
    // standard dialog keyboard handling for this dialog.
    virtual bool PreTranslateMessage(MSG& msg);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // One handler per command: return true when the command was handled.
    virtual bool OnCommand(WORD id, WORD notifyCode);
    virtual void OnOK() { EndModal(IDOK); }
    virtual void OnCancel() { EndModal(IDCANCEL); }
    // Messages other than WM_INITDIALOG and WM_COMMAND; set `handled` to take one.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    UINT templateId_;
    HWND hwnd_ = nullptr;
    bool modalRunning_ = false;
    INT_PTR modalResult_ = 0;
};

// The Dialog object attached to a window, or nullptr for any other window.
Dialog* DialogFromWindow(HWND hwnd) noexcept;

// Gives the message to the pre-translation chain, then translates and dispatches
// it unless a dialog consumed it.
void ProcessMessage(MSG& msg);

// What in-process tests cannot drive for real: message boxes and the folder
// picker. UI thread only; an empty member means the real thing.
struct UiSeams {
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)> messageBox;
    std::function<bool(HWND owner, const std::wstring& title, std::wstring& folder)> pickFolder;
};
UiSeams& Seams();

// MessageBoxW, through the seam.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

// The Vista-style folder picker (pick-folders mode, file-system folders only)
// owned by `owner`, titled `title` unless it is empty. True with the chosen
// folder's full path in `folder`; false with `folder` emptied otherwise.
bool PickFolder(HWND owner, const std::wstring& title, std::wstring& folder);

// The file name of this process's executable without its extension ("QXDIAG"
// for QXDIAG.exe); empty when the module's path cannot be had whole.
std::wstring ProgramName();

// A string-table text of this module; empty when it does not exist.
std::wstring LoadResourceString(UINT id);

// A string-table text with its "%s" replaced by `values` in turn. Filled in by
// hand, not by printf, and never inside a value already put in: a folder name
// may hold "%" or "%s" itself.
std::wstring FormatResourceString(UINT id, std::initializer_list<std::wstring_view> values);
std::wstring FormatResourceString(UINT id, const std::wstring& value);

// Draws `icon` (SM_CXICON x SM_CYICON) centred in `area`.
void DrawIconCentred(HDC dc, const RECT& area, HICON icon);

// The full text of a window.
std::wstring WindowText(HWND hwnd);

}  // namespace qx
