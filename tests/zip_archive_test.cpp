// The archive of an output folder, read back by two readers that are not ours
// (Python's zipfile and 7-Zip, through tests/tools/check_zip.py), with names
// in Japanese and names code page 932 cannot hold, files of several chunks,
// and ZIP64 taken at a lowered threshold.

#include "collect/folder_archive.h"

#include "files_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace qx {
namespace {

using test::TempFolder;
using test::WriteBytes;

class FakeProgress : public CollectionProgress {
public:
    const CollectRequest& Request() const override { return request; }
    bool CancelRequested() const override { return cancelAfterStatuses >= 0 && statuses > cancelAfterStatuses; }
    void SetStepTitle(const std::wstring& text) override { title = text; }
    void SetStatus(const std::wstring& text) override
    {
        ++statuses;
        status = text;
    }
    void SetProgress(int position) override { positions.push_back(position); }
    // The pauses only keep a status readable: a test need not wait them out.
    void Pause(DWORD) override {}

    CollectRequest request;
    int cancelAfterStatuses = -1;
    int statuses = 0;
    std::wstring title;
    std::wstring status;
    std::vector<int> positions;
};

// Bytes that deflate cannot make much smaller, so that a member spans chunks.
std::string Noise(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class FolderArchiveTest : public testing::Test {
protected:
    void SetUp() override
    {
        progress.request.OutputFolder = output;
        ASSERT_TRUE(::CreateDirectoryW(output.c_str(), nullptr));
        for (const wchar_t* sub : {L"\\debug", L"\\vorlix", L"\\event", L"\\debug\\ログ"}) {
            ASSERT_TRUE(::CreateDirectoryW((output + sub).c_str(), nullptr));
        }
        ASSERT_TRUE(WriteBytes(output + L"\\QXDIAG.log", "---\r\n"));
        ASSERT_TRUE(WriteBytes(output + L"\\debug\\デバッグ記録.txt", "ログ\r\n"));
        ASSERT_TRUE(WriteBytes(output + L"\\debug\\ログ\\深い.log", std::string(700000, 'a')));
        ASSERT_TRUE(WriteBytes(output + L"\\vorlix\\thème-café.vlx", "theme=dark\r\n"));
        ASSERT_TRUE(WriteBytes(output + L"\\vorlix\\Ωmega-€.vlx", ""));
        ASSERT_TRUE(WriteBytes(output + L"\\debug\\noise.bin", Noise(600000)));
    }

    // The archive checked by the readers; "" when they agree with the folder.
    static bool ReadersAgree(const ArchiveResult& archive, const std::wstring& folder, bool zip64)
    {
        std::vector<std::string> arguments{QX_SOURCE_DIR "/tests/tools/check_zip.py", test::UnixPath(archive.Path),
                                           test::UnixPath(folder)};
        if (zip64) arguments.push_back("--zip64");
        return test::RunUnixProgram("/usr/bin/python3", arguments);
    }

    TempFolder parent{L"archive"};
    std::wstring output = parent / L"QXDIAG";
    FakeProgress progress;
};

TEST_F(FolderArchiveTest, IndependentReadersFindEveryFileWithItsNameBytesAndTime)
{
    for (const bool zip64 : {false, true}) {
        SCOPED_TRACE(zip64 ? "ZIP64 from 1000 bytes" : "plain");
        const ArchiveResult archive = ArchiveOutputFolder(progress, zip64 ? 1000 : kZip64Threshold);
        ASSERT_EQ(archive.Outcome, ArchiveOutcome::Made) << testing::PrintToString(archive.Error);
        const std::wstring name = archive.Path.substr(parent.Path().size() + 1);
        EXPECT_TRUE(name.starts_with(L"QXDIAG-") && name.ends_with(L"Z.zip")) << testing::PrintToString(name);
        EXPECT_TRUE(ReadersAgree(archive, output, zip64));
        EXPECT_EQ(progress.title, L"ZIPファイルの作成:");
        EXPECT_EQ(progress.status, L"ZIPファイルを作成しました。");
        EXPECT_EQ(progress.positions.back(), 100);
        EXPECT_TRUE(::DeleteFileW(archive.Path.c_str()));
        // Another second, another name: the next archive never meets this one.
        ::Sleep(1100);
    }
}

TEST_F(FolderArchiveTest, CancelledArchiveIsDeletedAndTheFolderStays)
{
    for (const int after : {0, 2}) {
        progress.statuses = 0;
        progress.cancelAfterStatuses = after;
        const ArchiveResult archive = ArchiveOutputFolder(progress);
        EXPECT_EQ(archive.Outcome, ArchiveOutcome::Cancelled) << after;
        EXPECT_FALSE(archive.Path.empty());
        EXPECT_FALSE(Exists(archive.Path)) << "a cancelled archive is deleted";
        EXPECT_EQ(test::ReadBytes(output + L"\\vorlix\\thème-café.vlx"), "theme=dark\r\n");
    }
}

TEST_F(FolderArchiveTest, ArchiveFileNameHasTheComputerAndTheUtcTime)
{
    EXPECT_EQ(ArchiveFileName(L"PC01", 0), L"QXDIAG-PC01-19700101T000000Z.zip");
    EXPECT_EQ(ArchiveFileName(L"PC01", 1718189452), L"QXDIAG-PC01-20240612T105052Z.zip");
}

}  // namespace
}  // namespace qx
