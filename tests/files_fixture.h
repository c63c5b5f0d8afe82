#pragma once
// Real files for tests: a fresh folder under the temp folder that is removed
// with everything in it afterwards, a file's exact bytes and its security.

#include "platform/files.h"
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace qx::test {

// The Unix path that Wine maps `path` to; empty when there is none.
inline std::string UnixPath(const std::wstring& path)
{
    using WineUnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<WineUnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    const std::string result = name ? name : "";
    if (name) ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

// Runs the Unix program `program` with `arguments` through Wine's "start
// /unix" and waits for it; true when it ran and exited with 0. A Windows
// program under Wine cannot make or remove a Unix symbolic link, which Wine
// shows as a reparse point; this can.
inline bool RunUnixProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    std::wstring commandLine = L"start.exe /wait /unix " + std::wstring(program.begin(), program.end());
    for (const std::string& argument : arguments) {
        commandLine += L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &started)) {
        return false;
    }
    UniqueHandleKernel process(started.hProcess);
    UniqueHandleKernel thread(started.hThread);
    DWORD code = 1;
    return ::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process.get(), &code) &&
           code == 0;
}

// Makes `link` (a Windows path) a Unix symbolic link to `target`, which is
// taken as given: relative to the link's folder unless it starts with "/".
inline bool MakeUnixLink(const std::string& target, const std::wstring& link)
{
    const std::string unixLink = UnixPath(link);
    return !unixLink.empty() && RunUnixProgram("/bin/ln", {"-s", target, unixLink});
}

// Removes the Unix symbolic link `link` itself, never what it points to.
inline bool RemoveUnixLink(const std::wstring& link)
{
    const std::string unixLink = UnixPath(link);
    return !unixLink.empty() && RunUnixProgram("/bin/rm", {"-f", "--", unixLink});
}

class TempFolder {
public:
    explicit TempFolder(const std::wstring& tag = L"files")
    {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        path_ = std::wstring(temp) + L"qxdiag-" + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter_);
        RemoveTree(path_);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

    // Never enters a link: a directory link is removed as the link.
    static void RemoveTree(const std::wstring& path)
    {
        WIN32_FIND_DATAW found;
        UniqueHandleFind find(::FindFirstFileW((path + L"\\*").c_str(), &found));
        if (find) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = path + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    RemoveUnixLink(child);
                } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(child);
                } else {
                    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileW(child.c_str());
                }
            } while (::FindNextFileW(find.get(), &found));
        }
        ::RemoveDirectoryW(path.c_str());
    }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

// A folder of the fake machine, away while a test runs and put back as it was
// afterwards; whatever the test left under its name is removed first.
class FolderMovedAside {
public:
    explicit FolderMovedAside(std::wstring path) : path_(std::move(path)), saved_(path_ + L".qxdiag-test-saved")
    {
        // An interrupted earlier run left the machine's folder aside: put it back first.
        if (Exists(saved_)) Restore();
        if (Exists(path_)) {
            EXPECT_TRUE(::MoveFileW(path_.c_str(), saved_.c_str())) << ::GetLastError();
        }
    }
    ~FolderMovedAside() { Restore(); }
    FolderMovedAside(const FolderMovedAside&) = delete;
    FolderMovedAside& operator=(const FolderMovedAside&) = delete;

private:
    static bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    void Restore()
    {
        TempFolder::RemoveTree(path_);
        if (Exists(saved_)) {
            EXPECT_TRUE(::MoveFileW(saved_.c_str(), path_.c_str())) << ::GetLastError();
        }
    }

    std::wstring path_;
    std::wstring saved_;
};

// The whole content of a file; `exists` tells a missing file from an empty one.
inline std::string ReadBytes(const std::wstring& path, bool* exists = nullptr)
{
    UniqueHandleFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (exists) *exists = static_cast<bool>(file);
    std::string bytes;
    if (!file) return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

// The DACL of a file or folder as the bytes of a security descriptor, empty when unreadable.
inline std::string DaclBytes(const std::wstring& path)
{
    DWORD size = 0;
    ::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::string descriptor(size, '\0');
    const bool read = size > 0 && ::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                                                     size, &size);
    return read ? descriptor : std::string();
}

// `folder` (as ".") and everything below it, by path relative to it: each
// folder's DACL, each file's DACL and bytes. A directory link is listed as
// such, never entered.
inline std::map<std::wstring, std::string> Snapshot(const std::wstring& folder, const std::wstring& below = L"")
{
    std::map<std::wstring, std::string> entries;
    if (below.empty()) entries[L"."] = "folder, DACL " + DaclBytes(folder);
    WIN32_FIND_DATAW found;
    UniqueHandleFind find(::FindFirstFileW((folder + L"\\" + below + L"*").c_str(), &found));
    if (!find) return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring relative = below + name;
        const std::wstring path = folder + L"\\" + relative;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            entries[relative] = "link";
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries[relative] = "folder, DACL " + DaclBytes(path);
            entries.merge(Snapshot(folder, relative + L"\\"));
        } else {
            bool exists = false;
            const std::string bytes = ReadBytes(path, &exists);
            entries[relative] = (exists ? "file, DACL " : "unreadable, DACL ") + DaclBytes(path) + ", bytes " + bytes;
        }
    } while (::FindNextFileW(find.get(), &found));
    return entries;
}

// Creates or replaces a file with exactly `bytes`.
inline bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    UniqueHandleFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The DACL that open access gives a new file in `folder`; a new file does not
// have it of itself.
inline std::string OpenAccessDacl(const std::wstring& folder)
{
    const std::wstring reference = folder + L"\\qxdiag-open-access.txt";
    EXPECT_TRUE(WriteBytes(reference, "open"));
    const std::string own = DaclBytes(reference);
    ApplyOpenAccess(reference);
    const std::string open = DaclBytes(reference);
    ::DeleteFileW(reference.c_str());
    EXPECT_NE(open, own) << "open access cannot be told from a new file's own security";
    return open;
}

}  // namespace qx::test
