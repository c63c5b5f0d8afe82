#pragma once
// The event-log collectors under test: a fresh output folder with its "event"
// sub-folder, a progress that records everything a collector reports and can
// play a user who confirms Cancel, the run log's lines with the entry times
// masked, and the command lines that the stand-in wevtutil.exe recorded.

#include "collect/collector.h"
#include "collect/run_log.h"
#include "files_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::test {

// Events in the order reported: "title:<text>", "status:<text>", "bar:<n>",
// and "check" for every look at CancelRequested at a checkpoint. The looks
// while a log is being saved (as many as the save's wait takes) come before
// that step's bar; they are counted apart instead, as no checkpoint comes
// right before a step's bar.
class RecordingProgress : public CollectionProgress {
public:
    const CollectRequest& Request() const override { return request; }
    bool CancelRequested() const override
    {
        events.push_back(L"check");
        if (!cancelled_ && cancelWhen && cancelWhen()) cancelled_ = true;
        return cancelled_;
    }
    void SetStepTitle(const std::wstring& text) override { events.push_back(L"title:" + text); }
    void SetStatus(const std::wstring& text) override { events.push_back(L"status:" + text); }
    void SetProgress(int position) override
    {
        for (; position < 100 && !events.empty() && events.back() == L"check"; events.pop_back()) ++checksWhileSaving;
        events.push_back(L"bar:" + std::to_wstring(position));
        if (position == cancelAtBar) cancelled_ = true;
    }
    // The pauses only keep a status readable: a test need not wait them out.
    void Pause(DWORD) override {}

    CollectRequest request;
    // The user confirms Cancel as soon as the bar reaches this position, or
    // when this, asked at a look at CancelRequested, says so.
    int cancelAtBar = -1;
    std::function<bool()> cancelWhen;
    mutable std::vector<std::wstring> events;
    int checksWhileSaving = 0;

private:
    mutable bool cancelled_ = false;
};

// What RecordingProgress records for the collectors' texts.
namespace progress_events {
inline const std::wstring kTitle = L"title:イベントログ情報の取得:";
inline const std::wstring kTovraRunning = L"status:TOVRAのイベントログを収集しています。";
inline const std::wstring kTovraSecurityRunning = L"status:TOVRA Securityのイベントログを収集しています。";
inline const std::wstring kSystemRunning = L"status:Systemのイベントログを収集しています。";
inline const std::wstring kSystemDone = L"status:Systemのイベントログ情報を取得しました。";
inline const std::wstring kApplicationRunning = L"status:Applicationのイベントログを収集しています。";
inline const std::wstring kApplicationDone = L"status:Applicationのイベントログ情報を取得しました。";
inline const std::wstring kSecurityRunning = L"status:Securityのイベントログを収集しています。";
inline const std::wstring kSecurityDone = L"status:Securityのイベントログ情報を取得しました。";
inline const std::wstring kAllDone = L"status:イベントログ情報を取得しました。";
// All six steps, and the three product logs alone: the checks come all the same.
inline const std::vector<std::wstring> kEverySixSteps{
    kTitle,         L"bar:0",    kTovraRunning,    L"bar:20",           kTovraSecurityRunning, L"bar:40",
    L"bar:50",      kSystemRunning, L"bar:60",     kSystemDone,         L"check",              kApplicationRunning,
    L"bar:70",      kApplicationDone, L"check",    kSecurityRunning,    L"bar:80",             kSecurityDone,
    L"check",       L"bar:100",  kAllDone};
inline const std::vector<std::wstring> kProductLogsOnly{
    kTitle, L"bar:0", kTovraRunning, L"bar:20", kTovraSecurityRunning, L"bar:40", L"bar:50",
    L"check", L"check", L"check", L"bar:100", kAllDone};
}  // namespace progress_events

// Entries come back as "T: <text>" once their time has the run log's format.
inline std::vector<std::string> RunLogLinesWithoutTimes(const std::wstring& path)
{
    const std::string bytes = ReadBytes(path);
    std::vector<std::string> lines;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line without CR LF";
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        const std::string shape = "dddd/dd/dd dd:dd:dd: ";
        bool timed = line.size() >= shape.size();
        for (size_t i = 0; timed && i < shape.size(); ++i) {
            timed = shape[i] == 'd' ? (line[i] >= '0' && line[i] <= '9') : line[i] == shape[i];
        }
        if (timed) line = "T: " + line.substr(shape.size());
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

inline std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

class EventLogTest : public testing::Test {
protected:
    explicit EventLogTest(const std::wstring& tag = L"eventlog") : folder_(tag)
    {
        output_ = folder_ / L"QXDIAG";
        ::CreateDirectoryW(output_.c_str(), nullptr);
        ::CreateDirectoryW(Event(L"").c_str(), nullptr);
        progress.request.OutputFolder = output_;
        runLog = RunLogPath(output_);
        record_ = folder_ / L"wevtutil-calls.txt";
        // The stand-in wevtutil.exe inherits it and records there.
        ::SetEnvironmentVariableW(L"QX_WEVTUTIL_RECORD", record_.c_str());
    }
    ~EventLogTest() override { ::SetEnvironmentVariableW(L"QX_WEVTUTIL_RECORD", nullptr); }

    // A file in the "event" sub-folder.
    std::wstring Event(const std::wstring& name) const { return output_ + L"\\event\\" + name; }

    // The command lines wevtutil was started with, oldest first.
    // The recorded command lines of one wevtutil command ("epl" exports, "al"
    // the locale metadata after each), in the order they came.
    std::vector<std::wstring> Calls(std::wstring_view command = L"epl") const
    {
        const std::string bytes = ReadBytes(record_);
        const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        std::vector<std::wstring> calls;
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find(L"\r\n", start);
            const std::wstring call = text.substr(start, end - start);
            if (call.find(L"\" " + std::wstring(command) + L" ") != std::wstring::npos) calls.push_back(call);
            if (end == std::wstring::npos) break;
            start = end + 2;
        }
        return calls;
    }
    void ForgetCalls() const { ::DeleteFileW(record_.c_str()); }

    const std::wstring& Output() const { return output_; }

    RecordingProgress progress;
    std::wstring runLog;

private:
    TempFolder folder_;
    std::wstring output_;
    std::wstring record_;
};

}  // namespace qx::test
