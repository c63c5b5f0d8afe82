// Ending processes by name, on real processes: copies of a stand-in that only
// waits, started under the names the tool ends.

#include "platform/handles.h"
#include "platform/processes.h"
#include "files_fixture.h"
#include "process_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace qx {
namespace {

using test::EndedWithCodeZero;
using test::StillRunning;

std::wstring FakeProcessPath()
{
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path = module;
    return path.substr(0, path.rfind(L'\\')) + L"\\fakes\\fake_process.exe";
}

class TerminateProcessesByNameTest : public testing::Test {
protected:
    void TearDown() override
    {
        for (const UniqueHandleKernel& process : started_) ::TerminateProcess(process.get(), 99);
        for (const UniqueHandleKernel& process : started_) ::WaitForSingleObject(process.get(), 5000);
    }

    // Starts the stand-in as `exeName`, from a folder of its own so that names
    // differing only in case are separate files.
    HANDLE Start(const std::wstring& exeName)
    {
        const std::wstring folder = temp_ / std::to_wstring(started_.size());
        ::CreateDirectoryW(folder.c_str(), nullptr);
        started_.push_back(test::StartCopyOf(FakeProcessPath(), folder + L"\\" + exeName));
        return started_.back().get();
    }

    test::TempFolder temp_{L"processes"};
    std::vector<UniqueHandleKernel> started_;
};

TEST_F(TerminateProcessesByNameTest, EndsEveryMatchInAnyCaseAndNothingElse)
{
    const HANDLE first = Start(L"Vorlix.exe");
    const HANDLE second = Start(L"Vorlix.exe");
    const HANDLE capitals = Start(L"VORLIX.EXE");
    const HANDLE logBuild = Start(L"VorlixLog.exe");
    const HANDLE longer = Start(L"Vorlix.exe.exe");

    TerminateProcessesByName(L"Vorlix.exe");

    EXPECT_TRUE(EndedWithCodeZero(first));
    EXPECT_TRUE(EndedWithCodeZero(second));
    EXPECT_TRUE(EndedWithCodeZero(capitals));
    EXPECT_TRUE(StillRunning(logBuild));
    EXPECT_TRUE(StillRunning(longer));
}

TEST_F(TerminateProcessesByNameTest, NoneRunningIsNoError)
{
    const HANDLE other = Start(L"QXAgent.exe");
    TerminateProcessesByName(L"QXNoSuchProgram.exe");
    EXPECT_TRUE(StillRunning(other));
}

}  // namespace
}  // namespace qx
