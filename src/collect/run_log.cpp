#include "collect/run_log.h"

#include "platform/files.h"
#include "platform/handles.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <iterator>
#include <optional>
#include <string>

namespace qx {
namespace {

constexpr UINT kJapaneseCodePage = 932;
constexpr std::uint64_t kFileTimeOf1970 = 116444736000000000ULL;  // 100 ns units since 1601
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000ULL;
// 9999-12-31 23:59:59 UTC: beyond it the year would no longer be four digits.
constexpr std::int64_t kLastFormattableSecond = 253402300799LL;
// A code page 932 character takes at most two bytes, and a line feed gains a
// CR, so this many wide characters always convert in one call and go out in one
// WriteFile.
constexpr std::size_t kLongestLine = INT_MAX / 4;

// Code page 932 has nothing outside the BMP: a surrogate pair becomes one "?",
// as any other character without a 932 form, instead of one per half.
std::wstring CollapseSurrogatePairs(std::wstring_view text, bool& lossy)
{
    std::wstring result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) {
            result += L'?';
            lossy = true;
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

// Japanese Windows writes these six as JIS does; Microsoft's table gives their
// bytes to other characters (U+FF5E, U+2225, U+FF0D, U+FFE0, U+FFE1, U+FFE2)
// and refuses them without best fit.
struct JisForm {
    wchar_t Wide;
    const char* Bytes;
};
constexpr JisForm kJisForms[] = {
    {L'\u301C', "\x81\x60"}, {L'\u2016', "\x81\x61"}, {L'\u2212', "\x81\x7C"},
    {L'\u00A2', "\x81\x91"}, {L'\u00A3', "\x81\x92"}, {L'\u00AC', "\x81\xCA"},
};

const char* JisFormOf(wchar_t c)
{
    for (const JisForm& form : kJisForms) {
        if (form.Wide == c) return form.Bytes;
    }
    return nullptr;
}

// Appends `text`, which holds none of the JIS forms, in code page 932.
bool AppendConverted(std::wstring_view text, std::string& bytes, bool& lossy)
{
    if (text.empty()) return true;
    // Without best fit every character that 932 lacks is reported, not quietly
    // mapped to a look-alike (the yen sign to a backslash).
    BOOL usedDefault = FALSE;
    const int wideLength = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(kJapaneseCodePage, WC_NO_BEST_FIT_CHARS, text.data(), wideLength, nullptr,
                                           0, "?", &usedDefault);
    if (size <= 0) return false;
    const std::size_t start = bytes.size();
    bytes.resize(start + static_cast<std::size_t>(size));
    if (::WideCharToMultiByte(kJapaneseCodePage, WC_NO_BEST_FIT_CHARS, text.data(), wideLength, bytes.data() + start,
                              size, "?", &usedDefault) != size)
        return false;
    if (usedDefault) lossy = true;
    return true;
}

// The text in code page 932; `lossy` is set when a character had no 932 form
// and was written as "?". Nothing when the text cannot be converted at all.
std::optional<std::string> ToCodePage932(std::wstring_view text, bool& lossy)
{
    if (text.empty()) return std::string();
    if (text.size() > kLongestLine) return std::nullopt;

    std::wstring collapsed;
    if (std::any_of(text.begin(), text.end(), [](wchar_t c) { return IS_HIGH_SURROGATE(c); })) {
        collapsed = CollapseSurrogatePairs(text, lossy);
        text = collapsed;
    }

    std::string bytes;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* jis = JisFormOf(text[i]);
        if (!jis) continue;
        if (!AppendConverted(text.substr(runStart, i - runStart), bytes, lossy)) return std::nullopt;
        bytes += jis;
        runStart = i + 1;
    }
    if (!AppendConverted(text.substr(runStart), bytes, lossy)) return std::nullopt;
    return bytes;
}

}  // namespace

std::wstring RunLogPath(std::wstring_view outputFolder)
{
    std::wstring path(outputFolder);
    path += L"\\QXDIAG.log";
    return path;
}

bool AppendRunLogLine(const std::wstring& path, std::wstring_view text)
{
    bool lossy = false;
    const std::optional<std::string> converted = ToCodePage932(text, lossy);
    if (!converted) return false;
    // Line feeds inside the text end their lines with CR LF too. In code page 932
    // the byte 0x0A is never part of a double-byte character.
    std::string line;
    line.reserve(converted->size() + 2);
    for (char c : *converted) {
        if (c == '\n') line += '\r';
        line += c;
    }
    line += "\r\n";

    // Append-only access never truncates and always writes at the end; no
    // sharing keeps other writers out while the line goes in. A link in place
    // of the file counts as a file that cannot be opened.
    const UniqueHandleFile file = OpenToAppend(path);
    if (!file) return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(line.size());
    if (!::WriteFile(file.get(), line.data(), size, &written, nullptr) || written != size) return false;
    return !lossy;
}

std::wstring FormatLogTime(std::int64_t secondsSince1970)
{
    if (secondsSince1970 < 0 || secondsSince1970 > kLastFormattableSecond) return {};
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<std::uint64_t>(secondsSince1970) * kFileTimeTicksPerSecond + kFileTimeOf1970;
    const FILETIME fileTime{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utc;
    if (!::FileTimeToSystemTime(&fileTime, &utc)) return {};

    wchar_t text[32];
    std::swprintf(text, std::size(text), L"%04d/%02d/%02d %02d:%02d:%02d", utc.wYear, utc.wMonth, utc.wDay,
                  utc.wHour, utc.wMinute, utc.wSecond);
    return text;
}

bool AppendRunLogEntry(const std::wstring& path, std::wstring_view text)
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    const auto seconds = static_cast<std::int64_t>((ticks.QuadPart - kFileTimeOf1970) / kFileTimeTicksPerSecond);

    std::wstring line = FormatLogTime(seconds);
    line += L": ";
    line += text;
    return AppendRunLogLine(path, line);
}

}  // namespace qx
