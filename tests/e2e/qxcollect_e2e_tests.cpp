// qxcollect.exe as a remote tool starts it: a process with arguments and no
// window, its outcome told by its exit code, checked against what it left.

#include "driver.h"
#include "files_fixture.h"
#include "registry_fixture.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace qx::e2e {
namespace {

using test::ReadBytes;
using test::TempFolder;

std::filesystem::path QxcollectExePath() { return QxdiagExePath().replace_filename(L"qxcollect.exe"); }

struct Finished {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

// Runs `exe` with `arguments` and its output in files, as the token `token`
// (nullptr: this process's own) and waits for it.
Finished RunQxcollect(const std::wstring& arguments, HANDLE token = nullptr,
                      const std::filesystem::path& exe = QxcollectExePath())
{
    TempFolder outputs{L"qxcollect-io"};
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Finished finished;
    {
        UniqueHandleFile out(::CreateFileW((outputs / L"out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                           CREATE_ALWAYS, 0, nullptr));
        UniqueHandleFile err(::CreateFileW((outputs / L"err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                           CREATE_ALWAYS, 0, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
        PROCESS_INFORMATION started{};
        const BOOL ok = token ? ::CreateProcessAsUserW(token, nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)
                              : ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
        EXPECT_TRUE(ok) << "CreateProcess: " << ::GetLastError();
        if (!ok) return finished;
        UniqueHandleKernel process(started.hProcess);
        UniqueHandleKernel thread(started.hThread);
        EXPECT_EQ(::WaitForSingleObject(process.get(), 120000), WAIT_OBJECT_0) << "qxcollect.exe does not end";
        ::GetExitCodeProcess(process.get(), &finished.exitCode);
    }
    finished.out = ReadBytes(outputs / L"out");
    finished.err = ReadBytes(outputs / L"err");
    return finished;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// Time stamps of the run log and the fake wevtutil's XPath times, masked.
std::string MaskedTimes(const std::string& bytes)
{
    static const std::regex times(R"(\d{4}[/-]\d\d[/-]\d\d[ T]\d\d:\d\d:\d\d)");
    return std::regex_replace(bytes, times, "TIME");
}

// Every file below `folder`, by its relative path, with its bytes, times masked.
void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::map<std::wstring, std::string>& files)
{
    for (const std::wstring& name : NamesIn(folder)) {
        const std::wstring path = folder + L"\\" + name;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            files[prefix + name + L"\\"] = "";
            ListFiles(path, prefix + name + L"\\", files);
        } else if (prefix.empty() && (name == L"manifest.json" || name == L"index.html")) {
            // Their hashes, durations and program name differ run by run; what
            // they say is the manifest tests' concern. Here: that both are there.
            files[name] = "present";
        } else {
            files[prefix + name] = MaskedTimes(ReadBytes(path));
        }
    }
}

using Qxcollect = CollectionPage<>;

TEST_F(Qxcollect, TreeIsTheOneASaveMakesAndTheLastLineNamesIt)
{
    CheckItems(true);
    ASSERT_NO_FATAL_FAILURE(Collect());
    TempFolder out{L"qxcollect-out"};
    const Finished run = RunQxcollect(L"--out " + Quoted(out.Path()) + L" --quiet");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "") << "--quiet prints no progress";
    const std::wstring folder = out / L"QXDIAG";
    EXPECT_EQ(run.out, std::string(folder.begin(), folder.end()) + "\r\n");

    std::map<std::wstring, std::string> gui;
    std::map<std::wstring, std::string> unattended;
    ListFiles(Output(), L"", gui);
    ListFiles(out / L"QXDIAG", L"", unattended);
    ASSERT_FALSE(gui.empty());
    EXPECT_EQ(unattended, gui);
}

TEST(QxcollectExit, UsageErrorsGiveTwoAndCreateNothing)
{
    TempFolder out{L"qxcollect-usage"};
    for (const std::wstring& arguments : std::vector<std::wstring>{L"", L"--zip", L"--bogus --out " + Quoted(out.Path()),
                                          L"--out " + Quoted(out.Path()) + L" --period 1y",
                                          L"/out:" + Quoted(out.Path()) + L" /items:logs"}) {
        const Finished run = RunQxcollect(arguments);
        EXPECT_EQ(run.exitCode, 2u) << testing::PrintToString(arguments);
        EXPECT_NE(run.err.find("qxcollect.exe --out"), std::string::npos) << "the usage is printed";
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(NamesIn(out.Path()).empty()) << testing::PrintToString(arguments);
    }
    const Finished help = RunQxcollect(L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.out.find("qxcollect.exe --out"), std::string::npos);
}

TEST(QxcollectExit, WithoutElevationOrAWritableOutputItGivesThree)
{
    TempFolder out{L"qxcollect-limited"};
    HANDLE own = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &own));
    UniqueHandleKernel token(own);
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof linked, &size));
    UniqueHandleKernel limited(linked.LinkedToken);
    const Finished notElevated = RunQxcollect(L"--out " + Quoted(out.Path()), limited.get());
    EXPECT_EQ(notElevated.exitCode, 3u) << notElevated.err;
    EXPECT_FALSE(notElevated.err.empty()) << "it says why";
    EXPECT_TRUE(NamesIn(out.Path()).empty());

    // "QXDIAG" cannot be made below a file.
    ASSERT_TRUE(test::WriteBytes(out / L"file", "x"));
    const Finished unwritable = RunQxcollect(L"--out " + Quoted(out / L"file"));
    EXPECT_EQ(unwritable.exitCode, 3u) << unwritable.err;
    EXPECT_NE(unwritable.err.find("file\\QXDIAG: "), std::string::npos) << unwritable.err;
    EXPECT_EQ(NamesIn(out.Path()), std::set<std::wstring>{L"file"});
}

TEST(QxcollectExit, ACopyErrorCompletesWithOne)
{
    TempFolder out{L"qxcollect-failure"};
    // A debug log already there: its copy fails, and the run goes on.
    ASSERT_TRUE(::CreateDirectoryW((out / L"QXDIAG").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((out / L"QXDIAG\\debug").c_str(), nullptr));
    ASSERT_TRUE(test::WriteBytes(out / L"QXDIAG\\debug\\QXAgent_trace_20261201.txt", "earlier"));
    const Finished run = RunQxcollect(L"/out:" + Quoted(out.Path()) + L" /items:debug,registry");
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    const std::string log = ReadBytes(out / L"QXDIAG\\QXDIAG.log");
    EXPECT_NE(log.find("debug file copy error. "), std::string::npos);
    EXPECT_TRUE(log.ends_with(kSeparatorLine)) << "the run completed";
    EXPECT_NE(run.err.find("100%"), std::string::npos) << "progress lines on stderr";
}

TEST(QxcollectExit, ZipWritesTheArchiveBesideTheFolderAndKeepsIt)
{
    TempFolder out{L"qxcollect-zip"};
    const Finished run = RunQxcollect(L"--out " + Quoted(out.Path()) + L" --items registry,vorlix --zip --quiet");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::set<std::wstring> names = NamesIn(out.Path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(names.contains(L"QXDIAG"));
    const std::wstring archive = *names.rbegin();
    EXPECT_TRUE(std::regex_match(archive, std::wregex(LR"(QXDIAG-[^-\\]+-\d{8}T\d{6}Z\.zip)")))
        << testing::PrintToString(archive);
    const std::wstring path = out / archive;
    EXPECT_EQ(run.out, std::string(path.begin(), path.end()) + "\r\n");
    EXPECT_TRUE(test::RunUnixProgram("/usr/bin/python3", {QX_SOURCE_DIR "/tests/tools/check_zip.py",
                                                           test::UnixPath(out / archive),
                                                           test::UnixPath(out / L"QXDIAG")}));
}

// The environment variable set for the programs this process starts, and
// removed again.
class SetVariable {
public:
    SetVariable(const wchar_t* name, const std::wstring& value) : name_(name)
    {
        EXPECT_TRUE(::SetEnvironmentVariableW(name, value.c_str())) << ::GetLastError();
    }
    ~SetVariable() { ::SetEnvironmentVariableW(name_, nullptr); }
    SetVariable(const SetVariable&) = delete;
    SetVariable& operator=(const SetVariable&) = delete;

private:
    const wchar_t* name_;
};

std::vector<std::string> LogLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    for (std::string::size_type start = 0; start < bytes.size();) {
        const std::string::size_type end = bytes.find("\r\n", start);
        lines.push_back(bytes.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return lines;
}

// The test copy presses the key as the chosen step starts; the step stops at
// its next checkpoint, after the file it copies first.
TEST(QxcollectExit, CtrlCAndCtrlBreakCancelWithFour)
{
    const struct {
        const char* What;
        const wchar_t* Event;
        int AtStep;
        const wchar_t* Items;
        // The item folder that holds the one file copied before the stop.
        const wchar_t* Stopped;
        // The item folder of a later step: it stays empty. Nothing when there is none.
        const wchar_t* Untouched;
    } presses[] = {
        {"Ctrl+C as the debug logs are copied", L"c", 1, L"debug,vorlix", L"debug", L"vorlix"},
        {"Ctrl+Break as the debug logs are copied", L"break", 1, L"debug,vorlix", L"debug", L"vorlix"},
        {"Ctrl+C as the Vorlix files are copied", L"c", 2, L"debug,vorlix", L"vorlix", nullptr},
    };
    for (const auto& press : presses) {
        SCOPED_TRACE(press.What);
        TempFolder out{L"qxcollect-ctrl"};
        const SetVariable atStep{kCtrlAtStepVariable, std::to_wstring(press.AtStep)};
        const SetVariable event{kCtrlEventVariable, press.Event};
        const Finished run = RunQxcollect(L"--out " + Quoted(out.Path()) + L" --items " + press.Items, nullptr,
                                          CtrlPressingQxcollectExePath());
        EXPECT_EQ(run.exitCode, 4u) << run.err;
        EXPECT_EQ(run.out, "") << "no folder is named";
        const std::wstring folder = out / L"QXDIAG";
        const std::string log = ReadBytes(folder + L"\\QXDIAG.log");
        ASSERT_TRUE(log.ends_with("\r\n")) << log;
        const std::vector<std::string> lines = LogLines(log.substr(0, log.size() - 2));
        EXPECT_EQ(MaskedTimes(lines.back()), "TIME: cancel") << log;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(kSeparatorLine, std::strlen(kSeparatorLine) - 2)),
                  1)
            << "no closing separator";
        EXPECT_EQ(NamesIn(folder + L"\\" + press.Stopped).size(), 1u);
        if (press.Untouched) {
            EXPECT_TRUE(NamesIn(folder + L"\\" + press.Untouched).empty());
        }
        for (const wchar_t* unwritten : {L"manifest.json", L"index.html"}) {
            EXPECT_EQ(::GetFileAttributesW((folder + L"\\" + unwritten).c_str()), INVALID_FILE_ATTRIBUTES)
                << testing::PrintToString(std::wstring(unwritten));
        }
    }
}

TEST(QxcollectExit, CtrlCWhileArchivingLeavesTheFolderAndNoArchive)
{
    TempFolder out{L"qxcollect-ctrl-zip"};
    const SetVariable atStep{kCtrlAtStepVariable, L"3"};
    const SetVariable event{kCtrlEventVariable, L"c"};
    const Finished run = RunQxcollect(L"--out " + Quoted(out.Path()) + L" --items debug,vorlix --zip", nullptr,
                                      CtrlPressingQxcollectExePath());
    EXPECT_EQ(run.exitCode, 4u) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(NamesIn(out.Path()), std::set<std::wstring>{L"QXDIAG"}) << "the cancelled archive is deleted";
    EXPECT_TRUE(ReadBytes(out / L"QXDIAG\\QXDIAG.log").ends_with(kSeparatorLine)) << "the collection completed";
    EXPECT_NE(::GetFileAttributesW((out / L"QXDIAG\\manifest.json").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The run log's code page.
std::string Cp932(const std::wstring& text)
{
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(932, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(932, 0, text.c_str(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// Two profiles that only ProfileList names, as a SYSTEM run sees the users of
// the machine: one path as REG_SZ, one as REG_EXPAND_SZ with a variable.
TEST(QxcollectAllUsers, EachProfilesVorlixFilesArriveInAFolderOfItsUserName)
{
    TempFolder profiles{L"profiles"};
    ASSERT_EQ(profiles.Path().rfind(L"C:\\", 0), 0u) << "the expanded path below uses %SystemDrive%";
    const struct {
        const wchar_t* Sid;
        const wchar_t* UserName;
        DWORD Type;
        std::map<std::wstring, std::string> Files;
    } users[] = {
        {L"S-1-5-21-3623811015-3361044348-30300820-1901", L"山田太郎", REG_SZ,
         {{L"settings.vlx", std::string("yamada\0\r\n\xff", 10)}, {L"履歴.log", "2026/12/01 ログ\r\n"}}},
        {L"S-1-5-21-3623811015-3361044348-30300820-1902", L"smith", REG_EXPAND_SZ,
         {{L"settings.vlx", "smith\r\n"}, {L"th\u00e8me-caf\u00e9.vlx", "theme=light\r\n"}}},
    };
    const test::MovedAside seeded{{std::wstring(kProfileList) + L"\\" + users[0].Sid,
                                   std::wstring(kProfileList) + L"\\" + users[1].Sid}};
    for (const auto& user : users) {
        const std::wstring profile = profiles / user.UserName;
        const std::wstring vorlix = profile + L"\\AppData\\Roaming\\Orvek\\VLXForTOVRA";
        ASSERT_TRUE(std::filesystem::create_directories(vorlix)) << testing::PrintToString(vorlix);
        for (const auto& [name, bytes] : user.Files) ASSERT_TRUE(test::WriteBytes(vorlix + L"\\" + name, bytes));
        const std::wstring stored = user.Type == REG_SZ ? profile : L"%SystemDrive%" + profile.substr(2);
        test::SetValue(std::wstring(kProfileList) + L"\\" + user.Sid, L"ProfileImagePath", user.Type,
                       test::StringBytes(stored));
    }

    TempFolder out{L"qxcollect-all-users"};
    const Finished run = RunQxcollect(L"--out " + Quoted(out.Path()) + L" --items vorlix --all-users --quiet");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::wstring collected = out / L"QXDIAG\\vorlix";
    const std::set<std::wstring> folders = NamesIn(collected);
    for (const auto& user : users) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(user.UserName)));
        ASSERT_TRUE(folders.contains(user.UserName)) << testing::PrintToString(folders);
        const std::wstring folder = collected + L"\\" + user.UserName;
        std::set<std::wstring> names;
        for (const auto& [name, bytes] : user.Files) {
            names.insert(name);
            EXPECT_EQ(ReadBytes(folder + L"\\" + name), bytes) << testing::PrintToString(name);
        }
        EXPECT_EQ(NamesIn(folder), names);
    }
    const std::string log = ReadBytes(out / L"QXDIAG\\QXDIAG.log");
    for (const auto& user : users) {
        const std::wstring source = profiles / user.UserName;
        EXPECT_NE(log.find(Cp932(source)), std::string::npos) << "the run log names " << testing::PrintToString(source);
    }
}

}  // namespace
}  // namespace qx::e2e
