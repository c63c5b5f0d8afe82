// The record of a run: what the manifest and the report say of each step, file
// and failure, checked in the bytes written; a cancelled run leaves neither.

#include "collect/collection_record.h"
#include "collect/collection_run.h"
#include "collectors/file_collectors.h"
#include "files_fixture.h"
#include "platform/files.h"
#include "platform/hash.h"
#include "platform/system.h"
#include "quiet_progress.h"
#include "registry_fixture.h"
#include "settings/product_settings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace qx {
namespace {

using test::QuietProgress;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::string Utf8(const std::wstring& text)
{
    std::string bytes;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(size > 0 ? size - 1 : 0));
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// Writes "abc" as "debug\abc.txt", copied from somewhere.
bool WritingStep(CollectionProgress& progress, const std::wstring&)
{
    const std::wstring file = progress.Request().OutputFolder + L"\\debug\\abc.txt";
    WriteBytes(file, "abc");
    progress.FileWritten(file, L"C:\\Log\\abc.txt");
    return true;
}
bool FailingStep(CollectionProgress& progress, const std::wstring&)
{
    progress.StepFailed(StepOutcome::CopyError, L"C:\\Log\\b.txt >> D:\\QXDIAG\\debug\\b.txt", ERROR_FILE_EXISTS);
    return true;
}
bool EmptyStep(CollectionProgress&, const std::wstring&) { return true; }
bool CancelledStep(CollectionProgress&, const std::wstring&) { return false; }

void ExpectHas(const std::string& text, const std::string& part)
{
    EXPECT_NE(text.find(part), std::string::npos) << "missing: " << part;
}

TEST(Manifest, ListsEachStepFileAndFailureOfACompletedRun)
{
    TempFolder folder;
    QuietProgress progress;
    progress.request.OutputFolder = folder.Path();
    ASSERT_TRUE(::CreateDirectoryW((folder / L"debug").c_str(), nullptr));
    const CollectionPlan plan{{},
                              {{&CollectRequest::WantDebugLogs, WritingStep, L"debug"},
                               {&CollectRequest::WantCrashDumps, FailingStep, L"dump"},
                               {&CollectRequest::WantRegistry, EmptyStep, L"registry"},
                               {&CollectRequest::WantVorlixFiles, CancelledStep, L"vorlix"}}};
    progress.request.WantVorlixFiles = 0;

    ASSERT_EQ(RunCollection(progress, plan), RunOutcome::Completed);

    bool exists = false;
    const std::string manifest = ReadBytes(folder / L"manifest.json", &exists);
    ASSERT_TRUE(exists);
    EXPECT_NE(manifest.substr(0, 3), "\xEF\xBB\xBF") << "no BOM";
    ExpectHas(manifest, "\"name\": \"system\", \"outcome\": \"done\"");
    ExpectHas(manifest, "\"name\": \"debug\", \"outcome\": \"done\"");
    ExpectHas(manifest, "\"name\": \"dump\", \"outcome\": \"copy error\"");
    ExpectHas(manifest, "\"name\": \"registry\", \"outcome\": \"none\"");
    EXPECT_EQ(manifest.find("\"vorlix\", \"outcome\""), std::string::npos) << "a step not chosen is not run";
    // SHA-256 of "abc" (FIPS 180-2, appendix B.1).
    ExpectHas(manifest, "{\"path\": \"debug\\\\abc.txt\", \"size\": 3, \"lastWrite\": \"");
    ExpectHas(manifest, "\"sha256\": \"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\", "
                        "\"source\": \"C:\\\\Log\\\\abc.txt\"}");
    ExpectHas(manifest, "{\"step\": \"dump\", \"outcome\": \"copy error\", \"what\": "
                        "\"C:\\\\Log\\\\b.txt >> D:\\\\QXDIAG\\\\debug\\\\b.txt\", \"error\": 80, \"text\": \"" +
                            Utf8(DescribeError(ERROR_FILE_EXISTS)) + "\"}");
    ExpectHas(manifest, "{\"path\": \"index.html\"");
    EXPECT_EQ(manifest.find("manifest.json"), std::string::npos);
    EXPECT_EQ(manifest.find("QXDIAG.log"), std::string::npos);

    const std::string report = ReadBytes(folder / L"index.html", &exists);
    ASSERT_TRUE(exists);
    ExpectHas(report, "<html lang=\"ja\">");
    ExpectHas(report, "概要");
    ExpectHas(report, "copy error");
    ExpectHas(report, "<a href=\"debug/abc.txt\">debug\\abc.txt</a>");
    ExpectHas(report, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(report.find("<script"), std::string::npos);
    EXPECT_EQ(report.find("http"), std::string::npos) << "nothing fetched";
}

TEST(Manifest, ACancelledRunLeavesNoManifestAndNoReport)
{
    TempFolder folder;
    QuietProgress progress;
    progress.request.OutputFolder = folder.Path();
    const CollectionPlan plan{{}, {{&CollectRequest::WantDebugLogs, CancelledStep, L"debug"}}};

    ASSERT_EQ(RunCollection(progress, plan), RunOutcome::Stopped);

    EXPECT_EQ(::GetFileAttributesW((folder / L"manifest.json").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesW((folder / L"index.html").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Manifest, ARealCopyErrorCarriesItsCodeAndSystemText)
{
    TempFolder logs(L"manifest logs");
    ASSERT_TRUE(WriteBytes(logs / L"QXAgent_1.txt", "one\r\n"));
    const test::SavedValue logPath{kProductKey, L"LogPath"};
    test::SetString(kProductKey, L"LogPath", logs.Path());
    TempFolder folder;
    QuietProgress progress;
    progress.request.OutputFolder = folder.Path();
    ASSERT_TRUE(::CreateDirectoryW((folder / L"debug").c_str(), nullptr));
    // Already there: the copy never replaces it.
    ASSERT_TRUE(WriteBytes(folder / L"debug\\QXAgent_1.txt", "kept\r\n"));
    const CollectionPlan plan{{}, {{&CollectRequest::WantDebugLogs, CollectDebugLogs, L"debug"}}};

    ASSERT_EQ(RunCollection(progress, plan), RunOutcome::Completed);

    const std::string manifest = ReadBytes(folder / L"manifest.json");
    ExpectHas(manifest, "\"name\": \"debug\", \"outcome\": \"copy error\"");
    std::string source = Utf8(logs.Path() + L"\\QXAgent_1.txt");
    for (std::size_t at = source.find('\\'); at != std::string::npos; at = source.find('\\', at + 2)) {
        source.insert(at, 1, '\\');
    }
    ExpectHas(manifest, "\"outcome\": \"copy error\", \"what\": \"" + source + " >> ");
    ExpectHas(manifest, "\"error\": 80, \"text\": \"" + Utf8(DescribeError(ERROR_FILE_EXISTS)) + "\"");
    EXPECT_EQ(ReadBytes(folder / L"debug\\QXAgent_1.txt"), "kept\r\n");
}

TEST(DigestFile, MatchesKnownSha256AndReportsAMissingFile)
{
    TempFolder folder;
    const struct {
        std::string Bytes;
        const char* Sha256;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // More than one read of the digest's buffer: 3 MiB of "a".
        {std::string(3 * 1024 * 1024, 'a'), "6f850bc94ae6f7de14297c01616c36d712d22864497b28a63b81d776b035e656"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(folder / L"f.bin", c.Bytes));
        FileDigest digest;
        ASSERT_EQ(DigestFile(folder / L"f.bin", digest), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(digest.Size, c.Bytes.size());
        EXPECT_EQ(HexText(digest.Sha256), std::wstring(c.Sha256, c.Sha256 + 64));
    }
    FileDigest digest;
    EXPECT_EQ(DigestFile(folder / L"missing.bin", digest), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace qx
