// The least a program that shows a dialog does: one modal dialog from a
// template, closed by OK, Esc or its close box. Built four ways, to tell apart
// what the tool pays for: bare; with the tool's manifest and its
// InitCommonControlsEx call (QXBENCH_COMMON_CONTROLS); with those and the same
// system DLLs loaded at start as the tool imports (QXBENCH_TOOL_IMPORTS); and
// with those and the tool's folder picker opened over the dialog as soon as it
// is up (QXBENCH_FOLDER_PICKER), to see what the picker alone costs in memory.

#include <windows.h>

#ifdef QXBENCH_COMMON_CONTROLS
#include <commctrl.h>
#endif
#ifdef QXBENCH_TOOL_IMPORTS
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#endif
#ifdef QXBENCH_FOLDER_PICKER
#include <shobjidl.h>
#endif

namespace {

#ifdef QXBENCH_TOOL_IMPORTS
// One function of each DLL that QXDIAG.exe imports beside kernel32, user32 and
// msvcrt: taking their addresses puts the DLLs into the import table, so the
// loader maps and initialises them before wWinMain, as for the tool.
[[gnu::used]] const void* const kToolImports[] = {
    reinterpret_cast<const void*>(&::RegOpenKeyExW),          // advapi32
    reinterpret_cast<const void*>(&::CoCreateInstance),       // ole32
    reinterpret_cast<const void*>(&::SHGetFolderPathW),       // shell32
    reinterpret_cast<const void*>(&::PathFileExistsW),        // shlwapi
    reinterpret_cast<const void*>(&::GetFileVersionInfoW),    // version
};
#endif

#ifdef QXBENCH_FOLDER_PICKER
constexpr UINT kOpenPicker = WM_APP;

// The picker as the tool opens it: the Vista-style open dialog in pick-folders
// mode, file-system folders only, owned by the dialog, no initial folder.
void ShowFolderPicker(HWND owner)
{
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
    IFileOpenDialog* picker = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                     reinterpret_cast<void**>(&picker)))) {
        FILEOPENDIALOGOPTIONS options = 0;
        if (SUCCEEDED(picker->GetOptions(&options)) &&
            SUCCEEDED(picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM))) {
            picker->SetTitle(L"QXBENCH");
            picker->Show(owner);
        }
        picker->Release();
    }
    ::CoUninitialize();
}
#endif

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
#ifdef QXBENCH_FOLDER_PICKER
    if (message == WM_INITDIALOG) {
        ::PostMessageW(dialog, kOpenPicker, 0, 0);
        return TRUE;
    }
    if (message == kOpenPicker) {
        // The modal loop would show the dialog only once idle; the tool's window is up before its Save.
        ::ShowWindow(dialog, SW_SHOW);
        ShowFolderPicker(dialog);
        return TRUE;
    }
#endif
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
#ifdef QXBENCH_COMMON_CONTROLS
    // As the tool starts: every class of the common controls.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);
#endif
    return static_cast<int>(::DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, DialogProc, 0)) == IDOK ? 0 : 1;
}
