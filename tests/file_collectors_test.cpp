// The file collectors on real folders: every source of every member is a
// folder of the test's own, reached the way the tool reaches it ("LogPath",
// the application-data folders of the shell, which the test redirects through
// the registry, and C:\Log, which it moves aside), and the run log is compared
// byte for byte with only its time stamps left open.

#include "collectors/file_collectors.h"

#include "collect/run_log.h"
#include "files_fixture.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "registry_fixture.h"
#include "settings/product_settings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::DaclBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// Where the shell writes down each folder it resolved.
constexpr wchar_t kResolvedShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A value of the real registry, set for a test and put back exactly as it was
// (or removed again) afterwards.
class SavedValue {
public:
    SavedValue(HKEY root, std::wstring path, std::wstring name)
        : root_(root), path_(std::move(path)), name_(std::move(name))
    {
        UniqueHkey key;
        if (::RegOpenKeyExW(root_, path_.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) return;
        data_.resize(size);
        existed_ = ::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, data_.data(), &size) ==
                   ERROR_SUCCESS;
        data_.resize(size);
    }
    ~SavedValue()
    {
        if (existed_) {
            Write(type_, data_);
        } else {
            ::RegDeleteKeyValueW(root_, path_.c_str(), name_.c_str());
        }
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

    void Set(const std::wstring& text) { Write(REG_SZ, test::StringBytes(text)); }

private:
    void Write(DWORD type, const test::Bytes& data)
    {
        UniqueHkey key;
        ASSERT_EQ(::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        const BYTE spare = 0;
        EXPECT_EQ(::RegSetValueExW(key.get(), name_.c_str(), 0, type, data.empty() ? &spare : data.data(),
                                   static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }

    HKEY root_;
    std::wstring path_;
    std::wstring name_;
    bool existed_ = false;
    DWORD type_ = REG_NONE;
    test::Bytes data_;
};

// A progress without a dialog that records what it was shown and lets the
// user cancel while the status of a given file is on screen.
class RecordingProgress : public CollectionProgress {
public:
    const CollectRequest& Request() const override { return request; }
    bool CancelRequested() const override { return cancelled; }
    void SetStepTitle(const std::wstring& text) override { titles.push_back(text); }
    void SetStatus(const std::wstring& text) override
    {
        statuses.push_back(text);
        if (cancelWithStatus && statuses.size() == *cancelWithStatus) cancelled = true;
    }
    void SetProgress(int position) override { bars.push_back(position); }
    // Slept as the progress dialog sleeps them: the tests time the closing pauses.
    void Pause(DWORD milliseconds) override { ::Sleep(milliseconds); }

    // Forgets what was shown, for another call.
    void Reset(std::optional<size_t> cancelWith = std::nullopt)
    {
        cancelWithStatus = cancelWith;
        cancelled = false;
        titles.clear();
        statuses.clear();
        bars.clear();
    }

    CollectRequest request;
    std::optional<size_t> cancelWithStatus;
    bool cancelled = false;
    std::vector<std::wstring> titles;
    std::vector<std::wstring> statuses;
    std::vector<int> bars;
};

std::string Cp932(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

// The run log as expected: timed entries with "<time>" where the stamp goes.
struct Line {
    bool Timed;
    std::wstring Text;
};
Line Entry(const std::wstring& text) { return {true, text}; }
Line Tab(const std::wstring& path) { return {false, L"\t" + path}; }

std::string ExpectedLog(const std::vector<Line>& lines)
{
    std::string bytes;
    for (const Line& line : lines) bytes += (line.Timed ? "<time>: " : "") + Cp932(line.Text) + "\r\n";
    return bytes;
}

// The run log's bytes with each "YYYY/MM/DD hh:mm:ss" that opens a line made "<time>".
std::string LogWithoutTimes(const std::wstring& path)
{
    static const std::string kShape = "dddd/dd/dd dd:dd:dd: ";
    const std::string bytes = ReadBytes(path);
    std::string result;
    for (size_t start = 0; start < bytes.size();) {
        const bool stamped =
            bytes.size() - start >= kShape.size() &&
            std::equal(kShape.begin(), kShape.end(), bytes.begin() + static_cast<std::ptrdiff_t>(start),
                       [](char shape, char byte) { return shape == 'd' ? byte >= '0' && byte <= '9' : shape == byte; });
        if (stamped) {
            result += "<time>: ";
            start += kShape.size();
        }
        const size_t next = bytes.find("\r\n", start);
        const size_t end = next == std::string::npos ? bytes.size() : next + 2;
        result.append(bytes, start, end - start);
        start = end;
    }
    return result;
}

// The names of the files in `folder`, sorted.
std::set<std::wstring> FileNames(const std::wstring& folder)
{
    std::vector<std::wstring> paths;
    FindFilesByPattern(folder, L"*", paths);
    std::set<std::wstring> names;
    for (const std::wstring& path : paths) names.insert(FileNameOfPath(path));
    return names;
}

enum class Where { LogFolder, CommonProduct, RoamingVorlix };

// One member, as the tool's texts and tables describe it.
struct Member {
    const char* Name;
    Collector Run;
    const wchar_t* SubFolder;
    const wchar_t* Title;
    const wchar_t* Copying;
    const wchar_t* NoneStatus;
    const wchar_t* DoneStatus;
    const wchar_t* StartText;
    const wchar_t* NoneText;
    // Only the members that look at a copy's result have one.
    const wchar_t* CopyErrorPrefix;
    DWORD PauseBeforeCopy;
    DWORD NonePause;
    DWORD DonePause;
    // Where its first source is when everything resolves, and what it looks for there.
    Where Source;
    const wchar_t* Extension;
};

const Member kMembers[] = {
    {"DebugLogs", CollectDebugLogs, L"debug", L"デバッグログ情報の取得:", L"デバッグログをコピーしています。",
     L"デバッグログファイルはありません。", L"デバッグログを取得しました。", L"copy debug file.",
     L"not found debug file.", L"debug file copy error. ", 0, 50, 500, Where::LogFolder, L".txt"},
    {"CrashDumps", CollectCrashDumps, L"dump", L"ダンプファイル情報の取得:",
     L"クラッシュダンプファイルをコピーしています。", L"クラッシュダンプファイルはありません。",
     L"クラッシュダンプファイルを取得しました。", L"copy dump file.", L"not found dump file.",
     L"minidump file copy error. ", 20, 300, 1000, Where::CommonProduct, L".mdmp"},
    {"DumpLogs", CollectDumpLogs, L"dump", L"ダンプログ情報の取得:",
     L"クラッシュダンプログファイルをコピーしています。", L"クラッシュダンプログファイルはありません。",
     L"クラッシュダンプログファイルを取得しました。", L"copy dump log file.", L"not found dump log file.", nullptr,
     20, 300, 1000, Where::CommonProduct, L".log"},
    {"VorlixFiles", CollectVorlixFiles, L"vorlix", L"Vorlixアプリケーションファイルの取得：",
     L"Vorlixアプリケーションファイルをコピーしています。", L"vlxファイルはありません。",
     L"vlxファイルを取得しました。", L"copy vlx file.", L"not found vlx file.", nullptr, 20, 300, 1000,
     Where::RoamingVorlix, L".vlx"},
};

class FileCollectorTest : public testing::Test {
protected:
    FileCollectorTest()
    {
        UseSourceRoot(temp_.Path());
        UseOutputFolder(temp_ / L"out");
    }

    // Puts "LogPath" and the two application-data folders below `root`.
    void UseSourceRoot(const std::wstring& root)
    {
        root_ = root;
        for (const std::wstring& folder : {Logs(), Common(), Roaming()}) ASSERT_TRUE(CreateFolderTree(folder));
        test::SetString(kProductKey, L"LogPath", Logs());
        commonAppData_.Set(Common());
        appData_.Set(Roaming());
    }
    void UseOutputFolder(const std::wstring& folder)
    {
        progress_.request.OutputFolder = folder;
        for (const wchar_t* sub : {L"debug", L"dump", L"vorlix"}) ASSERT_TRUE(CreateFolderTree(folder + L"\\" + sub));
    }
    // Application-data folders that do not exist cannot be resolved.
    void UnresolvableAppData()
    {
        commonAppData_.Set(L"C:\\qxdiag-test-nowhere\\common");
        appData_.Set(L"C:\\qxdiag-test-nowhere\\roaming");
    }

    std::wstring Logs() const { return root_ + L"\\logs"; }
    std::wstring Common() const { return root_ + L"\\common"; }
    std::wstring Roaming() const { return root_ + L"\\roaming"; }
    static std::wstring BelowRoot(Where where)
    {
        switch (where) {
        case Where::LogFolder:
            return L"\\logs";
        case Where::CommonProduct:
            return L"\\common\\Orvek\\TOVRA";
        case Where::RoamingVorlix:
            break;
        }
        return L"\\roaming\\Orvek\\VLXForTOVRA";
    }
    std::wstring SourceFolder(Where where) const { return root_ + BelowRoot(where); }
    std::wstring Output(const Member& member) const
    {
        return progress_.request.OutputFolder + L"\\" + member.SubFolder;
    }
    std::wstring RunLog() const { return RunLogPath(progress_.request.OutputFolder); }

    // Files named `stem`0, `stem`1 ... with `extension` in the member's source,
    // holding their own names; their paths in the order the collector will list them.
    std::vector<std::wstring> MakeSources(const Member& member, int count, const std::wstring& stem = L"file")
    {
        const std::wstring folder = SourceFolder(member.Source);
        EXPECT_TRUE(CreateFolderTree(folder));
        for (int i = 0; i < count; ++i) {
            const std::wstring name = stem + std::to_wstring(i) + member.Extension;
            EXPECT_TRUE(WriteBytes(folder + L"\\" + name, Cp932(name)));
        }
        std::vector<std::wstring> listed;
        FindFilesByPattern(folder, std::wstring(L"*") + member.Extension, listed);
        return listed;
    }

    bool Run(const Member& member)
    {
        const ULONGLONG start = ::GetTickCount64();
        const bool result = member.Run(progress_, RunLog());
        elapsedMs_ = ::GetTickCount64() - start;
        return result;
    }

    // Each copy made holds its source's bytes and has open access.
    void ExpectCopied(const Member& member, const std::vector<std::wstring>& sources)
    {
        for (const std::wstring& source : sources) {
            const std::wstring copy = Output(member) + L"\\" + FileNameOfPath(source);
            bool exists = false;
            EXPECT_EQ(ReadBytes(copy, &exists), ReadBytes(source));
            EXPECT_TRUE(exists) << testing::PrintToString(source);
            EXPECT_EQ(DaclBytes(copy), OpenDacl()) << "no open access: " << testing::PrintToString(copy);
        }
    }
    std::string OpenDacl()
    {
        if (openDacl_.empty()) openDacl_ = test::OpenAccessDacl(temp_.Path());
        return openDacl_;
    }
    std::wstring CopyingText(const Member& member, const std::wstring& source) const
    {
        return std::wstring(member.Copying) + L" " + FileNameOfPath(source);
    }

    TempFolder temp_{L"collect"};
    const test::MovedAside productKey_{{kProductKey}};
    SavedValue commonAppData_{HKEY_LOCAL_MACHINE, kShellFolders, L"Common AppData"};
    SavedValue appData_{HKEY_CURRENT_USER, kShellFolders, L"AppData"};
    const SavedValue resolvedCommonAppData_{HKEY_LOCAL_MACHINE, kResolvedShellFolders, L"Common AppData"};
    const SavedValue resolvedAppData_{HKEY_CURRENT_USER, kResolvedShellFolders, L"AppData"};
    const test::FolderMovedAside cLog_{L"C:\\Log"};
    std::wstring root_;
    RecordingProgress progress_;
    ULONGLONG elapsedMs_ = 0;
    std::string openDacl_;
};

class EachFileCollector : public FileCollectorTest, public testing::WithParamInterface<Member> {};

INSTANTIATE_TEST_SUITE_P(Members, EachFileCollector, testing::ValuesIn(kMembers),
                         [](const testing::TestParamInfo<Member>& info) { return std::string(info.param.Name); });

// Sleep may wake a tick early.
constexpr ULONGLONG kTickSlack = 16;

TEST_P(EachFileCollector, NothingToCopyLogsNoneAndShowsItsString)
{
    const Member& m = GetParam();
    EXPECT_TRUE(Run(m));
    EXPECT_EQ(LogWithoutTimes(RunLog()), ExpectedLog({Entry(m.NoneText)}));
    EXPECT_EQ(progress_.titles, std::vector<std::wstring>{m.Title});
    EXPECT_EQ(progress_.bars, (std::vector<int>{0, 100}));
    EXPECT_EQ(progress_.statuses, std::vector<std::wstring>{m.NoneStatus});
    EXPECT_GE(elapsedMs_ + kTickSlack, m.NonePause);
    EXPECT_TRUE(FileNames(Output(m)).empty());
}

TEST_P(EachFileCollector, CopiesEveryFileInListOrderWithProgress)
{
    const Member& m = GetParam();
    const struct {
        int Files;
        std::vector<int> Bars;
    } cases[] = {{1, {0, 0, 100}}, {3, {0, 0, 33, 66, 100}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Files);
        TempFolder::RemoveTree(SourceFolder(m.Source));
        TempFolder::RemoveTree(Output(m));
        ::DeleteFileW(RunLog().c_str());
        progress_.Reset();
        ASSERT_TRUE(CreateFolderTree(Output(m)));

        const std::vector<std::wstring> sources = MakeSources(m, c.Files);
        ASSERT_EQ(sources.size(), static_cast<size_t>(c.Files));
        EXPECT_TRUE(Run(m));

        std::vector<Line> log{Entry(m.StartText)};
        std::vector<std::wstring> statuses;
        for (const std::wstring& source : sources) {
            log.push_back(Tab(source));
            statuses.push_back(CopyingText(m, source));
        }
        statuses.push_back(m.DoneStatus);
        EXPECT_EQ(LogWithoutTimes(RunLog()), ExpectedLog(log));
        EXPECT_EQ(progress_.statuses, statuses);
        EXPECT_EQ(progress_.bars, c.Bars);
        ExpectCopied(m, sources);
        EXPECT_GE(elapsedMs_ + kTickSlack, c.Files * m.PauseBeforeCopy + m.DonePause);
    }
}

TEST_P(EachFileCollector, ExistingDestinationIsNeverOverwritten)
{
    const Member& m = GetParam();
    const std::vector<std::wstring> sources = MakeSources(m, 3);
    ASSERT_EQ(sources.size(), 3u);
    const std::wstring taken = Output(m) + L"\\" + FileNameOfPath(sources[1]);
    ASSERT_TRUE(WriteBytes(taken, "from an earlier run"));
    const std::string takenDacl = DaclBytes(taken);
    ASSERT_NE(takenDacl, OpenDacl());

    EXPECT_TRUE(Run(m));

    EXPECT_EQ(ReadBytes(taken), "from an earlier run");
    EXPECT_EQ(DaclBytes(taken), takenDacl) << "an existing destination keeps its own security";
    ExpectCopied(m, {sources[0]});
    if (m.CopyErrorPrefix) {
        EXPECT_EQ(LogWithoutTimes(RunLog()),
                  ExpectedLog({Entry(m.StartText), Tab(sources[0]), Tab(sources[1]),
                               Entry(m.CopyErrorPrefix + sources[1] + L" >> " + taken)}));
        EXPECT_EQ(FileNames(Output(m)).count(FileNameOfPath(sources[2])), 0u) << "later files stay uncopied";
        EXPECT_EQ(progress_.statuses,
                  (std::vector<std::wstring>{CopyingText(m, sources[0]), CopyingText(m, sources[1])}));
        EXPECT_EQ(progress_.bars, (std::vector<int>{0, 0, 33}));
    } else {
        EXPECT_EQ(LogWithoutTimes(RunLog()),
                  ExpectedLog({Entry(m.StartText), Tab(sources[0]), Tab(sources[1]), Tab(sources[2])}));
        ExpectCopied(m, {sources[2]});
        EXPECT_EQ(progress_.statuses.back(), m.DoneStatus);
        EXPECT_EQ(progress_.bars, (std::vector<int>{0, 0, 33, 66, 100}));
    }
}

TEST_P(EachFileCollector, CancelIsSeenAfterACopyTheLastOneIncluded)
{
    const Member& m = GetParam();
    for (size_t cancelAt : {2u, 3u}) {
        SCOPED_TRACE(cancelAt);
        TempFolder::RemoveTree(SourceFolder(m.Source));
        TempFolder::RemoveTree(Output(m));
        ::DeleteFileW(RunLog().c_str());
        progress_.Reset(cancelAt);
        ASSERT_TRUE(CreateFolderTree(Output(m)));
        const std::vector<std::wstring> sources = MakeSources(m, 3);
        ASSERT_EQ(sources.size(), 3u);

        EXPECT_FALSE(Run(m));

        const std::vector<std::wstring> handled(sources.begin(), sources.begin() + static_cast<std::ptrdiff_t>(cancelAt));
        std::vector<Line> log{Entry(m.StartText)};
        for (const std::wstring& source : handled) log.push_back(Tab(source));
        log.push_back(Entry(L"cancel"));
        EXPECT_EQ(LogWithoutTimes(RunLog()), ExpectedLog(log));
        ExpectCopied(m, handled);
        EXPECT_EQ(FileNames(Output(m)).size(), cancelAt);
        EXPECT_EQ(progress_.statuses.back(), CopyingText(m, handled.back())) << "no done string";
        EXPECT_NE(progress_.bars.back(), 100);
    }
}

// A path longer than MAX_PATH is never used cut short: the file counts as a failed copy.
TEST_P(EachFileCollector, PathsPastMaxPathAreFailedCopies)
{
    const Member& m = GetParam();
    // The member's source folder as long as a folder may be, so that its files' paths pass MAX_PATH.
    const std::wstring longRoot =
        temp_ / std::wstring(MAX_PATH - 12 - BelowRoot(m.Source).size() - temp_.Path().size() - 1, L'r');
    // An output folder whose sub-folders still fit, but not the files in them.
    const std::wstring longOutput = temp_ / std::wstring(MAX_PATH - 20 - temp_.Path().size(), L'o');
    const struct {
        const char* What;
        std::wstring Root;
        std::wstring Output;
        const wchar_t* Stem;
    } cases[] = {
        {"source", longRoot, progress_.request.OutputFolder, L"long-file-name-"},
        {"destination", root_, longOutput, L"file-name-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        UseSourceRoot(c.Root);
        UseOutputFolder(c.Output);
        progress_.Reset();
        const std::vector<std::wstring> sources = MakeSources(m, 1, c.Stem);
        ASSERT_EQ(sources, std::vector<std::wstring>{SourceFolder(m.Source) + L"\\" + c.Stem + L"0" + m.Extension});
        const std::wstring destination = Output(m) + L"\\" + FileNameOfPath(sources[0]);
        ASSERT_NE(sources[0].size() < MAX_PATH, destination.size() < MAX_PATH) << "one of the two is too long";

        EXPECT_TRUE(Run(m));

        std::vector<Line> log{Entry(m.StartText), Tab(sources[0])};
        if (m.CopyErrorPrefix) {
            log.push_back(Entry(m.CopyErrorPrefix + sources[0] + L" >> " + destination));
            EXPECT_EQ(progress_.statuses.back(), CopyingText(m, sources[0]));
        } else {
            EXPECT_EQ(progress_.statuses.back(), m.DoneStatus);
        }
        EXPECT_EQ(LogWithoutTimes(RunLog()), ExpectedLog(log));
        EXPECT_TRUE(FileNames(Output(m)).empty());
    }
}

TEST_F(FileCollectorTest, DebugLogsAtTheDefaultFolderListTxtBeforeLog)
{
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"LogPath");
    ASSERT_EQ(DebugLogFolder(), L"C:\\Log");
    ASSERT_TRUE(CreateFolderTree(L"C:\\Log\\e.log"));
    for (const wchar_t* name : {L"b.log", L"a.txt", L"c.log", L"d.txt", L"e.log\\f.log", L"e.log\\g.txt"}) {
        ASSERT_TRUE(WriteBytes(std::wstring(L"C:\\Log\\") + name, "x"));
    }

    EXPECT_TRUE(CollectDebugLogs(progress_, RunLog()));

    const Member& m = kMembers[0];
    EXPECT_EQ(FileNames(Output(m)), (std::set<std::wstring>{L"a.txt", L"b.log", L"c.log", L"d.txt"}))
        << "a sub-folder named like a log is neither copied nor entered";
    // The .txt files come from "LogPath" (C:\Log), the .log files from the fixed "C:\log".
    ASSERT_EQ(progress_.statuses.size(), 5u);
    std::vector<Line> log{Entry(m.StartText)};
    for (size_t i = 0; i < 4; ++i) {
        const std::wstring name = progress_.statuses[i].substr(progress_.statuses[i].rfind(L' ') + 1);
        log.push_back(Tab((i < 2 ? L"C:\\Log\\" : L"C:\\log\\") + name));
        EXPECT_EQ(name.substr(2), i < 2 ? L"txt" : L"log") << "every .txt before every .log";
    }
    EXPECT_EQ(LogWithoutTimes(RunLog()), ExpectedLog(log));
}

TEST_F(FileCollectorTest, CrashDumpsThenDumpLogsFillTheDumpFolder)
{
    const std::wstring product = SourceFolder(Where::CommonProduct);
    ASSERT_TRUE(CreateFolderTree(product));
    ASSERT_TRUE(WriteBytes(product + L"\\QXAgent.mdmp", "mdmp"));
    ASSERT_TRUE(WriteBytes(product + L"\\QXAgent.log", "dump log"));
    ASSERT_TRUE(WriteBytes(Logs() + L"\\QXAgent.dmp", "dmp"));

    EXPECT_TRUE(CollectCrashDumps(progress_, RunLog()));
    EXPECT_TRUE(CollectDumpLogs(progress_, RunLog()));

    EXPECT_EQ(LogWithoutTimes(RunLog()),
              ExpectedLog({Entry(L"copy dump file."), Tab(product + L"\\QXAgent.mdmp"), Tab(Logs() + L"\\QXAgent.dmp"),
                           Entry(L"copy dump log file."), Tab(product + L"\\QXAgent.log")}));
    EXPECT_EQ(progress_.titles, (std::vector<std::wstring>{kMembers[1].Title, kMembers[2].Title}));
    EXPECT_EQ(progress_.bars, (std::vector<int>{0, 0, 50, 100, 0, 0, 100}));
    EXPECT_EQ(FileNames(Output(kMembers[1])),
              (std::set<std::wstring>{L"QXAgent.mdmp", L"QXAgent.dmp", L"QXAgent.log"}));
}

TEST_F(FileCollectorTest, WithoutApplicationDataTheFallbacksAreSearchedNeverTheDriveRoot)
{
    UnresolvableAppData();
    ASSERT_TRUE(WriteBytes(Logs() + L"\\QXAgent.mdmp", "mdmp"));
    ASSERT_TRUE(WriteBytes(Logs() + L"\\QXAgent.dmp", "dmp"));
    ASSERT_TRUE(CreateFolderTree(L"C:\\Log"));
    ASSERT_TRUE(WriteBytes(L"C:\\Log\\QXAgent.log", "log"));
    const std::wstring rootFile = L"C:\\qxdiag-test-root.vlx";
    ASSERT_TRUE(WriteBytes(rootFile, "at the root"));
    const ScopeExit removeRootFile([&] { ::DeleteFileW(rootFile.c_str()); });

    EXPECT_TRUE(CollectCrashDumps(progress_, RunLog()));
    EXPECT_TRUE(CollectDumpLogs(progress_, RunLog()));
    EXPECT_TRUE(CollectVorlixFiles(progress_, RunLog()));

    EXPECT_EQ(LogWithoutTimes(RunLog()),
              ExpectedLog({Entry(L"copy dump file."), Tab(Logs() + L"\\QXAgent.mdmp"), Tab(Logs() + L"\\QXAgent.dmp"),
                           Entry(L"copy dump log file."), Tab(L"C:\\log\\QXAgent.log"), Entry(L"not found vlx file.")}));
    EXPECT_EQ(progress_.statuses.back(), L"vlxファイルはありません。");
}

TEST_F(FileCollectorTest, VorlixFilesAreAllFilesOfTheFolderButNothingBelowIt)
{
    const std::wstring folder = SourceFolder(Where::RoamingVorlix);
    ASSERT_TRUE(CreateFolderTree(folder + L"\\sub.vlx"));
    for (const wchar_t* name : {L"設定.vlx", L"README", L"client.dat", L"sub.vlx\\inner.vlx"}) {
        ASSERT_TRUE(WriteBytes(folder + L"\\" + name, Cp932(name)));
    }

    EXPECT_TRUE(CollectVorlixFiles(progress_, RunLog()));

    const Member& m = kMembers[3];
    EXPECT_EQ(FileNames(Output(m)), (std::set<std::wstring>{L"設定.vlx", L"README", L"client.dat"}));
    const std::string log = LogWithoutTimes(RunLog());
    EXPECT_NE(log.find(Cp932(L"\t" + folder + L"\\設定.vlx") + "\r\n"), std::string::npos)
        << "the path in code page 932: " << log;
    EXPECT_NE(std::find(progress_.statuses.begin(), progress_.statuses.end(),
                        L"Vorlixアプリケーションファイルをコピーしています。 設定.vlx"),
              progress_.statuses.end());
}

TEST(FindFilesByPattern, ListsMatchingFilesOnlyAndAppends)
{
    TempFolder temp(L"find");
    ASSERT_TRUE(CreateFolderTree(temp / L"c.log"));
    for (const wchar_t* name : {L"a.log", L"b.LOG", L"noext", L"x.txt", L"c.log\\d.log"}) {
        ASSERT_TRUE(WriteBytes(temp / name, "x"));
    }
    ::SetFileAttributesW((temp / L"b.LOG").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);

    std::vector<std::wstring> files{L"kept"};
    FindFilesByPattern(temp.Path(), L"*.log", files);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], L"kept");
    EXPECT_EQ((std::set<std::wstring>(files.begin() + 1, files.end())),
              (std::set<std::wstring>{temp / L"a.log", temp / L"b.LOG"}));

    std::vector<std::wstring> all;
    FindFilesByPattern(temp.Path(), L"*.*", all);
    EXPECT_EQ(std::set<std::wstring>(all.begin(), all.end()),
              (std::set<std::wstring>{temp / L"a.log", temp / L"b.LOG", temp / L"noext", temp / L"x.txt"}));

    std::vector<std::wstring> none;
    FindFilesByPattern(temp / L"missing", L"*.*", none);
    EXPECT_TRUE(none.empty());
    ::SetFileAttributesW((temp / L"b.LOG").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileNameOfPath, IsTheLastPartOrTheWholePath)
{
    const struct {
        const wchar_t* Path;
        const wchar_t* Name;
    } cases[] = {
        {L"C:\\Log\\QXAgent.log", L"QXAgent.log"},
        {L"C:\\Users\\ユーザー\\AppData\\設定.vlx", L"設定.vlx"},
        {L"QXAgent.log", L"QXAgent.log"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(FileNameOfPath(c.Path), c.Name) << testing::PrintToString(c.Path);
}

}  // namespace
}  // namespace qx
