// The run log's bytes: code page 932, CR LF, appended and never truncated,
// refused while another program holds the file, and UTC time stamps.

#include "collect/run_log.h"
#include "files_fixture.h"
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>
#include <string>

namespace qx {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

const std::string kSeparatorBytes = std::string(75, '-') + "\r\n";
const std::string kJohoShushu932 = "\x8f\xee\x95\xf1\x8e\xfb\x8f\x57";  // 情報収集

#define EXPECT_FILE_BYTES(path, expected) ExpectFileBytes(__FILE__, __LINE__, path, expected)
void ExpectFileBytes(const char* file, int line, const std::wstring& path, const std::string& expected)
{
    bool exists = false;
    const std::string actual = ReadBytes(path, &exists);
    if (!exists)
        ADD_FAILURE_AT(file, line) << testing::PrintToString(path) << " does not exist";
    else if (actual != expected)
        ADD_FAILURE_AT(file, line) << testing::PrintToString(path) << " holds " << testing::PrintToString(actual)
                                   << "\nexpected " << testing::PrintToString(expected);
}

class RunLogTest : public testing::Test {
protected:
    TempFolder temp_{L"runlog"};
    const std::wstring log_ = RunLogPath(temp_.Path());
};

struct LineCase {
    const char* what;
    std::wstring text;
    std::string bytes;  // without the line break
    bool writtenUnchanged;
};

TEST_F(RunLogTest, LinesGoOutInCodePage932EachEndingInCrLf)
{
    const LineCase cases[] = {
        {"separator", std::wstring(kRunLogSeparator), std::string(75, '-'), true},
        {"path", L"C:\\Log\\orvek.log", "C:\\Log\\orvek.log", true},
        {"Japanese", L"情報収集", kJohoShushu932, true},
        {"half-width katakana", L"ｱｲｳ", "\xb1\xb2\xb3", true},
        {"fullwidth tilde", L"\uff5e", "\x81\x60", true},
        {"empty", L"", "", true},
        {"line feeds inside end their lines with CR LF", L"a\nb\n", "a\r\nb\r\n", true},
        {"e acute", L"caf\u00e9", "caf?", false},
        {"yen sign, never the backslash", L"\u00a5" L"100", "?100", false},
        // The six that Japanese Windows writes as JIS does, not as "?".
        {"wave dash", L"\u301c", "\x81\x60", true},
        {"double vertical line", L"\u2016", "\x81\x61", true},
        {"minus sign", L"\u2212", "\x81\x7c", true},
        {"cent sign", L"\u00a2", "\x81\x91", true},
        {"pound sign", L"\u00a3", "\x81\x92", true},
        {"not sign", L"\u00ac", "\x81\xca", true},
        {"the six between others", L"10\u301c20\u2212\u00a3\u00a5\u00ac\u00e9\u2016\u00a2",
         "10\x81\x60" "20\x81\x7c\x81\x92?\x81\xca?\x81\x61\x81\x91", false},
        {"emoji: one character, one ?", L"a\U0001F600b", "a?b", false},
        {"two emoji", L"\U0001F600\U0001F601", "??", false},
        {"lone high surrogate", L"a\xD83D" L"b", "a?b", false},
        {"high surrogate at the end", L"a\xD83D", "a?", false},
        {"lone low surrogate", L"\xDE00" L"b", "?b", false},
        {"mixed", L"情報\u00e9\U0001F600収集", "\x8f\xee\x95\xf1??\x8e\xfb\x8f\x57", false},
    };
    for (const LineCase& row : cases) {
        SCOPED_TRACE(row.what);
        ::DeleteFileW(log_.c_str());
        EXPECT_EQ(AppendRunLogLine(log_, row.text), row.writtenUnchanged);
        // The next line starts on a line of its own whatever the text was.
        EXPECT_TRUE(AppendRunLogLine(log_, L"next"));
        EXPECT_FILE_BYTES(log_, row.bytes + "\r\nnext\r\n");
    }
}

TEST_F(RunLogTest, LongLinesAreWrittenWhole)
{
    std::wstring clean;
    std::wstring lossy;
    std::string cleanBytes;
    std::string lossyBytes;
    for (int i = 0; i < 50000; ++i) {
        clean += L"情報a";
        cleanBytes += "\x8f\xee\x95\xf1" "a";
        lossy += L"情\U0001F600";
        lossyBytes += "\x8f\xee?";
    }
    EXPECT_TRUE(AppendRunLogLine(log_, clean));
    EXPECT_FALSE(AppendRunLogLine(log_, lossy));
    EXPECT_FILE_BYTES(log_, cleanBytes + "\r\n" + lossyBytes + "\r\n");
}

TEST_F(RunLogTest, RunsAppendAfterWhatTheFileHoldsAndNeverTruncate)
{
    const std::string before = "an earlier tool's line\r\n";
    ASSERT_TRUE(WriteBytes(temp_ / L"QXDIAG.log", before));
    std::string expected = before;
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(AppendRunLogLine(log_, kRunLogSeparator));
        EXPECT_TRUE(AppendRunLogLine(log_, L"情報収集"));
        EXPECT_TRUE(AppendRunLogLine(log_, kRunLogSeparator));
        expected += kSeparatorBytes + kJohoShushu932 + "\r\n" + kSeparatorBytes;
    }
    EXPECT_FILE_BYTES(temp_ / L"QXDIAG.log", expected);
}

struct HolderCase {
    const char* what;
    DWORD access;
    DWORD share;
};

TEST_F(RunLogTest, AFileHeldByAnotherHandleIsRefusedAndLeftUnchanged)
{
    const HolderCase cases[] = {
        {"held for reading, sharing nothing", GENERIC_READ, 0},
        {"held for reading, sharing everything", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
        {"held for writing, sharing nothing", GENERIC_WRITE, 0},
    };
    const std::string before = kSeparatorBytes;
    for (const HolderCase& row : cases) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(WriteBytes(log_, before));
        {
            UniqueHandleFile holder(::CreateFileW(log_.c_str(), row.access, row.share, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder);
            EXPECT_FALSE(AppendRunLogLine(log_, L"blocked"));
            EXPECT_FALSE(AppendRunLogEntry(log_, L"blocked"));
        }
        EXPECT_FILE_BYTES(log_, before);
        EXPECT_TRUE(AppendRunLogLine(log_, L"free again"));
        EXPECT_FILE_BYTES(log_, before + "free again\r\n");
    }
}

TEST_F(RunLogTest, APathThatCannotBeAFileIsRefused)
{
    ASSERT_TRUE(::CreateDirectoryW((temp_ / L"folder.log").c_str(), nullptr));
    const std::wstring paths[] = {
        RunLogPath(temp_ / L"missing"),
        temp_ / L"folder.log",
    };
    for (const std::wstring& path : paths) {
        SCOPED_TRACE(testing::PrintToString(path));
        EXPECT_FALSE(AppendRunLogLine(path, kRunLogSeparator));
        EXPECT_FALSE(AppendRunLogEntry(path, L"cancel"));
    }
    EXPECT_EQ(::GetFileAttributesW((temp_ / L"missing").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The seconds of a "YYYY/MM/DD hh:mm:ss" stamp that `FormatLogTime` gives for
// some second in [from, to]; -1 when none does.
std::int64_t SecondOfStamp(const std::string& stamp, std::int64_t from, std::int64_t to)
{
    for (std::int64_t second = from; second <= to; ++second) {
        const std::wstring text = FormatLogTime(second);
        if (std::string(text.begin(), text.end()) == stamp) return second;
    }
    return -1;
}

TEST_F(RunLogTest, EntriesStartWithTheUtcTimeOfWriting)
{
    const std::int64_t before = std::time(nullptr);
    EXPECT_TRUE(AppendRunLogEntry(log_, L"情報収集"));
    EXPECT_FALSE(AppendRunLogEntry(log_, L"caf\u00e9"));
    const std::int64_t after = std::time(nullptr);

    const std::string bytes = ReadBytes(log_);
    const std::size_t secondStart = 19 + 2 + kJohoShushu932.size() + 2;
    ASSERT_GE(bytes.size(), secondStart + 19) << testing::PrintToString(bytes);
    const std::string first = bytes.substr(0, 19);
    const std::string second = bytes.substr(secondStart, 19);
    EXPECT_NE(SecondOfStamp(first, before, after), -1) << first << " is not between " << before << " and " << after;
    EXPECT_NE(SecondOfStamp(second, before, after), -1) << second << " is not between " << before << " and " << after;
    EXPECT_EQ(bytes, first + ": " + kJohoShushu932 + "\r\n" + second + ": caf?\r\n");
}

std::string Stamp(const SYSTEMTIME& time)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond);
    return text;
}

// The tests run in the users' zone, 9 hours ahead of UTC, where the local time
// cannot pass for UTC.
TEST_F(RunLogTest, EntryTimeIsTheUtcCalendarTimeNotTheLocalOne)
{
    TIME_ZONE_INFORMATION zone{};
    ASSERT_NE(::GetTimeZoneInformation(&zone), TIME_ZONE_ID_INVALID);
    ASSERT_EQ(zone.Bias, -540) << "Wine runs with TZ=Asia/Tokyo";

    SYSTEMTIME before;
    ::GetSystemTime(&before);
    EXPECT_TRUE(AppendRunLogEntry(log_, L"x"));
    SYSTEMTIME after;
    ::GetSystemTime(&after);
    const std::string stamp = ReadBytes(log_).substr(0, 19);
    // The stamps sort as times do.
    EXPECT_LE(Stamp(before), stamp);
    EXPECT_LE(stamp, Stamp(after));
}

TEST(RunLogTimeTest, FormatLogTimeGivesUtcCalendarTimesUpToTheYear9999)
{
    const std::pair<std::int64_t, const wchar_t*> cases[] = {
        {0, L"1970/01/01 00:00:00"},
        {1719189652, L"2024/06/24 00:40:52"},
        {951825600, L"2000/02/29 12:00:00"},
        {1709251199, L"2024/02/29 23:59:59"},
        {4107542400, L"2100/03/01 00:00:00"},
        {2147483648, L"2038/01/19 03:14:08"},
        {253402300799, L"9999/12/31 23:59:59"},
        {253402300800, L""},
        {-1, L""},
        {std::numeric_limits<std::int64_t>::max(), L""},
        {std::numeric_limits<std::int64_t>::min(), L""},
    };
    for (const auto& [seconds, expected] : cases) {
        SCOPED_TRACE(seconds);
        EXPECT_EQ(FormatLogTime(seconds), expected);
    }
}

}  // namespace
}  // namespace qx
