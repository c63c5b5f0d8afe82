#include "collect/folder_archive.h"

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "resource.h"

#include <windows.h>

#include <cwchar>
#include <iterator>
#include <vector>

namespace qx {
namespace {

constexpr std::uint64_t kFileTimeOf1970 = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

struct Member {
    std::wstring Name;  // relative, "/" between parts; a folder's ends in "/"
    std::wstring Path;
    bool Folder;
    std::uint64_t Size;
    FILETIME LastWrite;
};

std::uint64_t TicksOf(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// DOS times are local, as readers show them; the extended field keeps UTC.
ZipTime ZipTimeOf(const FILETIME& utc)
{
    ZipTime time;
    const std::uint64_t ticks = TicksOf(utc);
    if (ticks >= kFileTimeOf1970) time.UnixTime = static_cast<std::int64_t>((ticks - kFileTimeOf1970) / kTicksPerSecond);
    SYSTEMTIME universal;
    SYSTEMTIME local;
    FILETIME localTime;
    WORD date = 0;
    WORD dosTime = 0;
    if (::FileTimeToSystemTime(&utc, &universal) && ::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) &&
        ::SystemTimeToFileTime(&local, &localTime) && ::FileTimeToDosDateTime(&localTime, &date, &dosTime)) {
        time.DosDate = date;
        time.DosTime = dosTime;
    }
    return time;
}

// Lists the folder's tree, each folder before what it holds. Links are not
// followed: what they lead to is not part of the collection.
bool ListTree(const std::wstring& folder, const std::wstring& name, std::vector<Member>& members, std::wstring& error)
{
    WIN32_FIND_DATAW found;
    UniqueHandleFind search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) {
        error = L"FindFirstFileW " + folder + L": " + DescribeError(::GetLastError());
        return false;
    }
    std::vector<std::pair<std::wstring, std::wstring>> subFolders;
    do {
        const std::wstring entry = found.cFileName;
        if (entry == L"." || entry == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const std::wstring path = JoinPath(folder, entry);
        if (path.empty()) {
            error = folder + L"\\" + entry + L": " + DescribeError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            members.push_back({name + entry + L"/", path, true, 0, found.ftLastWriteTime});
            subFolders.emplace_back(path, name + entry + L"/");
        } else {
            const std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            members.push_back({name + entry, path, false, size, found.ftLastWriteTime});
        }
    } while (::FindNextFileW(search.get(), &found));
    if (const DWORD last = ::GetLastError(); last != ERROR_NO_MORE_FILES) {
        error = L"FindNextFileW " + folder + L": " + DescribeError(last);
        return false;
    }
    for (const auto& [path, prefix] : subFolders) {
        if (!ListTree(path, prefix, members, error)) return false;
    }
    return true;
}

// The archive file: made new, and deleted again through its own handle unless
// it is kept, so that nothing else of that name is ever removed.
class NewArchiveFile : public ZipSink {
public:
    explicit NewArchiveFile(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr))
    {
    }
    ~NewArchiveFile() { Discard(); }
    NewArchiveFile(const NewArchiveFile&) = delete;
    NewArchiveFile& operator=(const NewArchiveFile&) = delete;

    explicit operator bool() const { return static_cast<bool>(file_); }

    bool Write(const void* data, std::size_t size) override
    {
        DWORD written = 0;
        if (!::WriteFile(file_.get(), data, static_cast<DWORD>(size), &written, nullptr) || written != size) {
            NoteError(L"WriteFile");
            return false;
        }
        return true;
    }

    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        LARGE_INTEGER end{};
        LARGE_INTEGER here{};
        if (!::SetFilePointerEx(file_.get(), LARGE_INTEGER{}, &end, FILE_CURRENT) ||
            !::SetFilePointerEx(file_.get(), at, &here, FILE_BEGIN)) {
            NoteError(L"SetFilePointerEx");
            return false;
        }
        const bool written = Write(data, size);
        if (!::SetFilePointerEx(file_.get(), end, &here, FILE_BEGIN)) {
            NoteError(L"SetFilePointerEx");
            return false;
        }
        return written;
    }

    // Closes the file and keeps it.
    bool Keep()
    {
        if (!::FlushFileBuffers(file_.get())) {
            NoteError(L"FlushFileBuffers");
            return false;
        }
        file_.reset();
        return true;
    }

    // Deletes the file as it is closed; false when it stays.
    bool Discard()
    {
        if (!file_) return true;
        FILE_DISPOSITION_INFO dispose{TRUE};
        const bool deleted = ::SetFileInformationByHandle(file_.get(), FileDispositionInfo, &dispose, sizeof dispose);
        if (!deleted) NoteError(L"SetFileInformationByHandle(FileDispositionInfo)");
        file_.reset();
        return deleted;
    }

    const std::wstring& Error() const { return error_; }

private:
    void NoteError(const wchar_t* call)
    {
        if (error_.empty()) error_ = std::wstring(call) + L": " + DescribeError(::GetLastError());
    }

    UniqueHandleFile file_;
    std::wstring error_;
};

class FileSource : public ZipSource {
public:
    explicit FileSource(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr))
    {
    }
    explicit operator bool() const { return static_cast<bool>(file_); }

    bool Read(void* buffer, std::size_t capacity, std::size_t& read) override
    {
        DWORD got = 0;
        if (!::ReadFile(file_.get(), buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
            error_ = ::GetLastError();
            return false;
        }
        read = got;
        return true;
    }
    DWORD Error() const { return error_; }

private:
    UniqueHandleFile file_;
    DWORD error_ = ERROR_SUCCESS;
};

std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring(L"unknown");
}

std::int64_t Now()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>((TicksOf(now) - kFileTimeOf1970) / kTicksPerSecond);
}

ArchiveResult Failure(std::wstring path, std::wstring error)
{
    return {ArchiveOutcome::Failed, std::move(path), std::move(error)};
}

}  // namespace

std::wstring ArchiveFileName(std::wstring_view computerName, std::int64_t secondsSince1970)
{
    const std::uint64_t ticks = static_cast<std::uint64_t>(secondsSince1970) * kTicksPerSecond + kFileTimeOf1970;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    ::FileTimeToSystemTime(&time, &utc);
    wchar_t stamp[32] = {};
    std::swprintf(stamp, std::size(stamp), L"%04u%02u%02uT%02u%02u%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond);
    return L"QXDIAG-" + std::wstring(computerName) + L"-" + stamp + L".zip";
}

ArchiveResult ArchiveOutputFolder(CollectionProgress& progress, std::uint64_t zip64Threshold)
{
    std::wstring folder = progress.Request().OutputFolder;
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    const std::wstring::size_type slash = folder.rfind(L'\\');
    if (slash == std::wstring::npos || slash + 1 == folder.size()) {
        return Failure({}, folder + L": " + DescribeError(ERROR_BAD_PATHNAME));
    }
    const std::wstring parent = folder.substr(0, slash == 2 ? 3 : slash);
    const std::wstring folderName = folder.substr(slash + 1);
    const std::wstring path = JoinPath(parent, ArchiveFileName(ComputerName(), Now()));
    if (path.empty()) return Failure({}, parent + L": " + DescribeError(ERROR_FILENAME_EXCED_RANGE));

    progress.SetStepTitle(LoadResourceString(IDS_ARCHIVE_TITLE));
    progress.SetProgress(0);

    WIN32_FILE_ATTRIBUTE_DATA top{};
    if (!::GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &top)) {
        return Failure(path, L"GetFileAttributesExW " + folder + L": " + DescribeError(::GetLastError()));
    }
    std::vector<Member> members{{folderName + L"/", folder, true, 0, top.ftLastWriteTime}};
    std::wstring error;
    if (!ListTree(folder, folderName + L"/", members, error)) return Failure(path, error);
    std::uint64_t total = 0;
    for (const Member& member : members) total += member.Size;

    NewArchiveFile archive(path);
    if (!archive) return Failure(path, L"CreateFileW " + path + L": " + DescribeError(::GetLastError()));
    ZipWriter writer(archive, zip64Threshold);
    const std::wstring adding = LoadResourceString(IDS_ARCHIVE_ADDING);
    std::uint64_t done = 0;
    int shown = 0;
    for (const Member& member : members) {
        if (progress.CancelRequested()) return {ArchiveOutcome::Cancelled, path, {}};
        const ZipTime time = ZipTimeOf(member.LastWrite);
        if (member.Folder) {
            if (!writer.AddFolder(member.Name, time)) return Failure(path, archive.Error());
            continue;
        }
        progress.SetStatus(adding + L" " + member.Name.substr(member.Name.rfind(L'/') + 1));
        FileSource source(member.Path);
        if (!source) return Failure(path, L"CreateFileW " + member.Path + L": " + DescribeError(::GetLastError()));
        const auto keepGoing = [&](std::uint64_t read) {
            const int position = total ? static_cast<int>((done + read) * 100 / total) : 0;
            if (position != shown && position <= 100) progress.SetProgress(shown = position);
            return !progress.CancelRequested();
        };
        switch (writer.AddFile(member.Name, time, member.Size, source, keepGoing)) {
        case ZipResult::Added: break;
        case ZipResult::Cancelled: return {ArchiveOutcome::Cancelled, path, {}};
        case ZipResult::SourceFailed:
            return Failure(path, L"ReadFile " + member.Path + L": " + DescribeError(source.Error()));
        case ZipResult::Grew:
            return Failure(path, member.Path + L": " + DescribeError(ERROR_FILE_TOO_LARGE));
        case ZipResult::SinkFailed: return Failure(path, archive.Error());
        }
        done += member.Size;
    }
    if (!writer.Finish() || !archive.Keep()) return Failure(path, archive.Error());
    ApplyOpenAccess(path);
    progress.SetProgress(100);
    progress.SetStatus(LoadResourceString(IDS_ARCHIVE_DONE));
    return {ArchiveOutcome::Made, path, {}};
}

}  // namespace qx
