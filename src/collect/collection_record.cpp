#include "collect/collection_record.h"

#include "collect/run_log.h"
#include "collectors/system_info.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/registry_values.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "settings/product_settings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <optional>

namespace qx {
namespace {

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::string Utf8(std::wstring_view text)
{
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

std::string Json(std::wstring_view text)
{
    std::string out = "\"";
    for (char c : Utf8(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string Html(std::wstring_view text)
{
    std::string out;
    for (char c : Utf8(text)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Bool(BYTE flag) { return flag ? "true" : "false"; }

// "YYYY-MM-DDThh:mm:ssZ".
std::wstring IsoTime(std::int64_t secondsSince1970)
{
    std::wstring text = FormatLogTime(secondsSince1970);
    if (text.size() != 19) return text;
    text[4] = text[7] = L'-';
    text[10] = L'T';
    return text + L"Z";
}

std::wstring IsoTime(const FILETIME& time)
{
    // 100-ns ticks since 1601 to seconds since 1970.
    const ULONGLONG ticks = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return IsoTime(static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL);
}

std::wstring Relative(const std::wstring& outputFolder, const std::wstring& path)
{
    const std::wstring prefix = outputFolder + L"\\";
    if (path.size() > prefix.size() &&
        ::CompareStringOrdinal(path.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                               static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL) {
        return path.substr(prefix.size());
    }
    return path;
}

constexpr std::array<const wchar_t*, 5> kPeriods{L"48h", L"7d", L"30d", L"60d", L"all"};
constexpr std::array<const char*, 4> kLevels{"information", "warning", "error", "critical"};

std::string LevelsJson(const std::array<BYTE, 4>& levels)
{
    std::string out = "{";
    for (std::size_t i = 0; i < levels.size(); ++i) {
        out += std::string(i ? ", " : "") + "\"" + kLevels[i] + "\": " + Bool(levels[i]);
    }
    return out + "}";
}

std::wstring PeriodText(int index)
{
    return index >= 0 && index < static_cast<int>(kPeriods.size()) ? kPeriods[static_cast<std::size_t>(index)] : L"7d";
}

std::wstring VersionText()
{
    const std::optional<WindowsVersion> version = RunningWindowsVersion();
    if (!version) return L"";
    return std::to_wstring(version->Major) + L"." + std::to_wstring(version->Minor) + L"." +
           std::to_wstring(version->Build);
}

// Replaces whatever had the name, a planted link included: the link is
// deleted as a link and the file made anew.
bool WriteNewFile(const std::wstring& path, const std::string& bytes)
{
    if (!::DeleteFileW(path.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    UniqueHandleFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    file.reset();
    if (ok) ApplyOpenAccess(path);
    return ok;
}

// --- The product's settings as the report shows them ---------------------------

struct ShownSetting {
    std::wstring Key;
    std::wstring Name;
    std::wstring Text;
    bool Present = false;
};

ShownSetting Shown(const ProductSettingValue& setting)
{
    ShownSetting shown{setting.Key, setting.Name, L"（キーなし）"};
    UniqueHkey key;
    if (OpenLocalMachineKey(setting.Key, KeyAccess::Read, key) != ERROR_SUCCESS) return shown;
    shown.Present = true;
    if (const std::optional<DWORD> number = QueryDwordValue(key.get(), setting.Name)) {
        shown.Text = std::to_wstring(*number);
    } else if (const std::optional<std::wstring> text = QueryStringValue(key.get(), setting.Name, 2048)) {
        shown.Text = *text;
    } else {
        shown.Present = ValueExists(key.get(), setting.Name);
        shown.Text = shown.Present ? L"（その他の型）" : L"（なし）";
    }
    return shown;
}

std::vector<ShownSetting> CurrentSettings()
{
    std::vector<ShownSetting> shown;
    for (const ProductSettingValue& setting : ProductSettingValues) {
        if (setting.Id != ProductSetting::VorlixInstall) shown.push_back(Shown(setting));
    }
    return shown;
}

}  // namespace

std::wstring_view OutcomeText(StepOutcome outcome)
{
    switch (outcome) {
    case StepOutcome::Done: return L"done";
    case StepOutcome::None: return L"none";
    case StepOutcome::CopyError: return L"copy error";
    case StepOutcome::Timeout: return L"timeout";
    case StepOutcome::Skipped: return L"skipped";
    case StepOutcome::Cancel: return L"cancel";
    }
    return L"done";
}

RecordingProgress::RecordingProgress(CollectionProgress& inner) : inner_(inner)
{
    record_.OutputFolder = inner.Request().OutputFolder;
    record_.Started = Now();
}

void RecordingProgress::FileWritten(const std::wstring& path, const std::wstring& source)
{
    inner_.FileWritten(path, source);
    const std::wstring relative = Relative(record_.OutputFolder, path);
    if (!recorded_.insert(relative).second) return;
    FileRecord file{relative, source, {}, ERROR_SUCCESS};
    // Read right after it was written, while it is still in the cache.
    file.DigestError = DigestFile(path, file.Digest);
    record_.Files.push_back(std::move(file));
}

void RecordingProgress::StepFailed(StepOutcome kind, const std::wstring& what, DWORD error)
{
    inner_.StepFailed(kind, what, error);
    record_.Failures.push_back({record_.Steps.empty() ? L"" : record_.Steps.back().Name, kind, what, error});
}

void RecordingProgress::BeginStep(std::wstring name)
{
    record_.Steps.push_back({std::move(name), StepOutcome::Done, 0});
    stepStart_ = ::GetTickCount64();
    stepFirstFile_ = record_.Files.size();
    stepFirstFailure_ = record_.Failures.size();
}

void RecordingProgress::EndStep(bool wentOn, bool copiesFiles)
{
    StepRecord& step = record_.Steps.back();
    step.Milliseconds = ::GetTickCount64() - stepStart_;
    const bool foundNothing = copiesFiles && record_.Files.size() == stepFirstFile_;
    StepOutcome outcome = foundNothing ? StepOutcome::None : StepOutcome::Done;
    for (std::size_t i = stepFirstFailure_; i < record_.Failures.size(); ++i) {
        if (record_.Failures[i].Kind < outcome) outcome = record_.Failures[i].Kind;
    }
    step.Outcome = wentOn ? outcome : StepOutcome::Cancel;
    record_.Finished = Now();
}

std::string ManifestText(const CollectionRecord& record, const CollectRequest& request)
{
    std::string out = "{\n";
    out += "  \"tool\": {\"name\": " + Json(ProgramName()) + ", \"version\": " + Json(OwnFileVersion()) + "},\n";
    out += "  \"created\": " + Json(IsoTime(record.Finished)) + ",\n";
    const std::optional<WindowsVersion> version = RunningWindowsVersion();
    out += "  \"os\": {\"major\": " + std::to_string(version ? version->Major : 0) +
           ", \"minor\": " + std::to_string(version ? version->Minor : 0) +
           ", \"build\": " + std::to_string(version ? version->Build : 0) + "},\n";
    out += "  \"request\": {\n";
    out += "    \"items\": {\"event\": " + Bool(request.WantEventLogs) + ", \"debug\": " + Bool(request.WantDebugLogs) +
           ", \"dump\": " + Bool(request.WantCrashDumps) + ", \"registry\": " + Bool(request.WantRegistry) +
           ", \"vorlix\": " + Bool(request.WantVorlixFiles) + "},\n";
    out += "    \"period\": " + Json(PeriodText(request.PeriodIndex)) + ",\n";
    out += "    \"levels\": {\"system\": " + LevelsJson(request.SystemLevels) +
           ", \"application\": " + LevelsJson(request.ApplicationLevels) + "},\n";
    out += "    \"audit\": {\"success\": " + Bool(request.SecurityAuditSuccess) +
           ", \"failure\": " + Bool(request.SecurityAuditFailure) + "}\n  },\n";
    out += "  \"steps\": [";
    for (std::size_t i = 0; i < record.Steps.size(); ++i) {
        const StepRecord& step = record.Steps[i];
        out += std::string(i ? "," : "") + "\n    {\"name\": " + Json(step.Name) + ", \"outcome\": " +
               Json(OutcomeText(step.Outcome)) + ", \"milliseconds\": " + std::to_string(step.Milliseconds) + "}";
    }
    out += "\n  ],\n  \"files\": [";
    for (std::size_t i = 0; i < record.Files.size(); ++i) {
        const FileRecord& file = record.Files[i];
        out += std::string(i ? "," : "") + "\n    {\"path\": " + Json(file.RelativePath);
        if (file.DigestError == ERROR_SUCCESS) {
            out += ", \"size\": " + std::to_string(file.Digest.Size) + ", \"lastWrite\": " +
                   Json(IsoTime(file.Digest.LastWrite)) + ", \"sha256\": " + Json(HexText(file.Digest.Sha256));
        } else {
            out += ", \"error\": " + std::to_string(file.DigestError) + ", \"text\": " + Json(DescribeError(file.DigestError));
        }
        if (!file.Source.empty()) out += ", \"source\": " + Json(file.Source);
        out += "}";
    }
    out += "\n  ],\n  \"failures\": [";
    for (std::size_t i = 0; i < record.Failures.size(); ++i) {
        const FailureRecord& failure = record.Failures[i];
        out += std::string(i ? "," : "") + "\n    {\"step\": " + Json(failure.Step) + ", \"outcome\": " +
               Json(OutcomeText(failure.Kind)) + ", \"what\": " + Json(failure.What) +
               ", \"error\": " + std::to_string(failure.Error) + ", \"text\": " + Json(DescribeError(failure.Error)) +
               "}";
    }
    out += "\n  ]\n}\n";
    return out;
}

std::string ReportText(const CollectionRecord& record, const CollectRequest& request)
{
    const auto row = [](std::initializer_list<std::string> cells, const char* tag = "td") {
        std::string out = "<tr>";
        for (const std::string& cell : cells) out += std::string("<") + tag + ">" + cell + "</" + tag + ">";
        return out + "</tr>\n";
    };
    const auto yesNo = [](BYTE flag) { return std::string(flag ? "○" : "－"); };
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>TOVRA DIAG 収集結果</title>\n"
        "<style>\n"
        "body{font-family:\"Yu Gothic UI\",\"Meiryo UI\",\"IPAGothic\",sans-serif;margin:1.5em;color:#222}\n"
        "h1{font-size:1.4em;border-bottom:2px solid #2a5d9f;padding-bottom:.2em}\n"
        "h2{font-size:1.1em;margin-top:1.4em;color:#2a5d9f}\n"
        "table{border-collapse:collapse;margin:.4em 0}\n"
        "th,td{border:1px solid #bbb;padding:.25em .6em;text-align:left;vertical-align:top}\n"
        "th{background:#eef3fa;white-space:nowrap}\n"
        ".fail{color:#b00020;font-weight:bold}.ok{color:#1b7a1b}\n"
        "code{font-family:monospace;font-size:.85em;word-break:break-all}\n"
        "</style>\n</head>\n<body>\n";
    out += "<h1>TOVRA DIAG 収集結果</h1>\n";
    out += "<p>作成日時: " + Html(FormatLogTime(record.Finished)) + " UTC ／ " + Html(ProgramName()) + " " +
           Html(OwnFileVersion()) + "</p>\n";

    out += "<h2>概要</h2>\n<table>\n" + row({"項目", "収集"}, "th");
    out += row({"イベントログ", yesNo(request.WantEventLogs)}) + row({"デバッグログ", yesNo(request.WantDebugLogs)}) +
           row({"クラッシュダンプ", yesNo(request.WantCrashDumps)}) + row({"レジストリ", yesNo(request.WantRegistry)}) +
           row({"Vorlixファイル", yesNo(request.WantVorlixFiles)});
    out += "</table>\n<table>\n" + row({"手順", "結果", "所要時間（ミリ秒）"}, "th");
    for (const StepRecord& step : record.Steps) {
        const bool failed = step.Outcome < StepOutcome::None;
        out += row({Html(step.Name), std::string("<span class=\"") + (failed ? "fail" : "ok") + "\">" +
                                         Html(OutcomeText(step.Outcome)) + "</span>",
                    std::to_string(step.Milliseconds)});
    }
    out += "</table>\n";
    if (record.Failures.empty()) {
        out += "<p class=\"ok\">失敗はありません。</p>\n";
    } else {
        out += "<table>\n" + row({"手順", "失敗", "対象", "エラー"}, "th");
        for (const FailureRecord& failure : record.Failures) {
            out += row({Html(failure.Step), "<span class=\"fail\">" + Html(OutcomeText(failure.Kind)) + "</span>",
                        "<code>" + Html(failure.What) + "</code>", Html(DescribeError(failure.Error))});
        }
        out += "</table>\n";
    }

    out += "<h2>端末</h2>\n<table>\n" + row({"Windowsのバージョン", Html(VersionText())});
    std::wstring software = InstalledSoftwareList();
    std::string softwareCell;
    for (std::size_t start = 0; start < software.size();) {
        const std::size_t end = software.find(L'\n', start);
        std::wstring line = software.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!line.empty() && line.front() == L'\t') line.erase(0, 1);
        softwareCell += (softwareCell.empty() ? "" : "<br>") + Html(line);
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    out += row({"インストールされている製品", softwareCell.empty() ? "（なし）" : softwareCell}) + "</table>\n";

    // The setting page writes all four of the product's values; any of them there means logging is on.
    const std::vector<ShownSetting> settings = CurrentSettings();
    const bool debugLogging = std::any_of(settings.begin(), settings.end(), [](const ShownSetting& setting) {
        return setting.Key == kProductKey && setting.Present;
    });
    out += "<h2>製品の現在の設定</h2>\n<p>デバッグログの取得: " +
           std::string(debugLogging ? "<span class=\"fail\">有効</span>" : "無効") + "</p>\n<table>\n" +
           row({"キー (HKEY_LOCAL_MACHINE)", "値", "データ"}, "th");
    for (const ShownSetting& setting : settings) {
        out += row({"<code>" + Html(setting.Key) + "</code>", Html(setting.Name), Html(setting.Text)});
    }
    out += "</table>\n";

    out += "<h2>ファイル一覧</h2>\n<table>\n" + row({"ファイル", "サイズ（バイト）", "SHA-256", "取得元"}, "th");
    for (const FileRecord& file : record.Files) {
        std::wstring link = file.RelativePath;
        for (wchar_t& c : link) {
            if (c == L'\\') c = L'/';
        }
        std::string href;
        for (char c : Utf8(link)) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (u >= 0x80 || c == ' ' || c == '#' || c == '%' || c == '?' || c == '"') {
                char escaped[4];
                std::snprintf(escaped, sizeof escaped, "%%%02X", u);
                href += escaped;
            } else {
                href += c;
            }
        }
        const bool digested = file.DigestError == ERROR_SUCCESS;
        out += row({"<a href=\"" + href + "\">" + Html(file.RelativePath) + "</a>",
                    digested ? std::to_string(file.Digest.Size) : "",
                    digested ? "<code>" + Html(HexText(file.Digest.Sha256)) + "</code>"
                             : "<span class=\"fail\">" + Html(DescribeError(file.DigestError)) + "</span>",
                    "<code>" + Html(file.Source) + "</code>"});
    }
    out += "</table>\n</body>\n</html>\n";
    return out;
}

bool WriteManifest(const CollectionRecord& record, const CollectRequest& request)
{
    const std::wstring path = JoinPath(record.OutputFolder, kManifestName);
    return !path.empty() && WriteNewFile(path, ManifestText(record, request));
}

bool WriteReport(const CollectionRecord& record, const CollectRequest& request)
{
    const std::wstring path = JoinPath(record.OutputFolder, kReportName);
    return !path.empty() && WriteNewFile(path, ReportText(record, request));
}

}  // namespace qx
