// The real folder picker: the Vista-style open dialog in pick-folders mode.

#include "platform/ui.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <utility>

namespace qx {
namespace {

// Owns one reference of a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr()
    {
        if (p_) p_->Release();
    }
    T* operator->() const noexcept { return p_; }
    T** put() noexcept
    {
        if (p_) std::exchange(p_, nullptr)->Release();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

// Owns a string allocated with CoTaskMemAlloc.
class CoTaskString {
public:
    CoTaskString() noexcept = default;
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    ~CoTaskString() { ::CoTaskMemFree(p_); }
    PWSTR get() const noexcept { return p_; }
    PWSTR* put() noexcept
    {
        ::CoTaskMemFree(std::exchange(p_, nullptr));
        return &p_;
    }

private:
    PWSTR p_ = nullptr;
};

// Balances a successful CoInitializeEx on this thread; a thread already in
// another apartment keeps it and is not uninitialised.
class ComApartment {
public:
    ComApartment() noexcept : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (initialised_) ::CoUninitialize();
    }

private:
    bool initialised_;
};

bool ShowFolderDialog(HWND owner, const std::wstring& title, std::wstring& folder)
{
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  dialog.put_void())))
        return false;
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options))) return false;
    if (FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM))) return false;
    if (!title.empty()) dialog->SetTitle(title.c_str());
    if (dialog->Show(owner) != S_OK) return false;

    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.put()))) return false;
    CoTaskString path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.put())) || !path.get()) return false;
    // Whole, however long: a folder too long for the tool's paths is the
    // caller's to refuse, not a cancelled choice.
    folder = path.get();
    return !folder.empty();
}

}  // namespace

bool PickFolder(HWND owner, const std::wstring& title, std::wstring& folder)
{
    folder.clear();
    bool picked = false;
    if (Seams().pickFolder) {
        picked = Seams().pickFolder(owner, title, folder);
    } else {
        const ComApartment apartment;
        picked = ShowFolderDialog(owner, title, folder);
    }
    if (!picked) folder.clear();
    return picked;
}

}  // namespace qx
