// The head of every run: the Windows version, and the maker's installed
// software from the real uninstall entries, in the run log and on the menu page.

#include "app/main_dlg.h"
#include "collect/run_log.h"
#include "collectors/system_info.h"
#include "resource.h"
#include "files_fixture.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>
#include <string>

namespace qx {
namespace {

using test::ReadBytes;
using test::SetDword;
using test::SetString;
using test::TempFolder;

const std::string kTime = "\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUninstall32[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// "TOVRA 管理ツール" in code page 932.
const std::string kKanriTool932 = "TOVRA \x8A\xC7\x97\x9D\x83\x63\x81\x5B\x83\x8B";

// The file's bytes with every time stamp replaced by "T".
std::string WithoutTimes(const std::wstring& path)
{
    return std::regex_replace(ReadBytes(path), std::regex(kTime), "T");
}

void ExpectFileMatches(const std::wstring& path, const std::string& pattern)
{
    const std::string bytes = ReadBytes(path);
    EXPECT_TRUE(std::regex_match(bytes, std::regex(pattern))) << "bytes: " << bytes << "\npattern: " << pattern;
}

TEST(OsVersionLine, BuildNumberOnlyFromWindows10On)
{
    const struct {
        unsigned major, minor, build;
        const wchar_t* line;
    } rows[] = {
        {10, 0, 19045, L"\tmajor:10, minor:0, build:19045"},
        {10, 0, 22631, L"\tmajor:10, minor:0, build:22631"},  // Windows 11 reports 10.0 too
        {6, 3, 9600, L"\tmajor:6, minor:3"},
        {6, 1, 7601, L"\tmajor:6, minor:1"},
        {5, 2, 3790, L"\tmajor:5, minor:2"},
    };
    for (const auto& row : rows) EXPECT_EQ(OsVersionLine(row.major, row.minor, row.build), row.line);
}

TEST(WriteOsVersion, ThisWindows10ReportsItsBuild)
{
    TempFolder folder;
    const std::wstring log = RunLogPath(folder.Path());
    WriteOsVersion(log);
    // The prefix is Windows 10, which the manifest's supportedOS lets through.
    ExpectFileMatches(log, kTime + ": os version:\r\n\tmajor:10, minor:0, build:[1-9]\\d*\r\n");
}

// Run by the test program's copy that Wine shows a Windows XP (5.2).
TEST(WriteOsVersion, BeforeVistaHasNoBuild)
{
    TempFolder folder;
    const std::wstring log = RunLogPath(folder.Path());
    WriteOsVersion(log);
    ExpectFileMatches(log, kTime + ": os version:\r\n\tmajor:5, minor:2\r\n");
}

// The uninstall entries of the fake machine are moved aside; each test sets its own.
class InstalledSoftwareTest : public testing::Test {
protected:
    struct Entry {
        std::optional<std::wstring> publisher;
        std::optional<std::wstring> displayName;
        // The item listed for it, or none.
        std::optional<std::wstring> item;
    };

    void Add(const std::wstring& name, const Entry& entry)
    {
        const std::wstring key = std::wstring(kUninstall) + L"\\" + name;
        test::CreateKey(key);
        if (entry.publisher) SetString(key, L"Publisher", *entry.publisher);
        if (entry.displayName) SetString(key, L"DisplayName", *entry.displayName);
        entries_[name] = entry;
    }
    // The items of the entries that match, in the order the registry enumerates them.
    std::vector<std::wstring> ExpectedItems()
    {
        std::vector<std::wstring> items;
        for (const std::wstring& name : test::EnumeratedSubkeyNames(kUninstall)) {
            if (entries_.at(name).item) items.push_back(*entries_.at(name).item);
        }
        return items;
    }
    // The menu page's box, as the main window shows it when it opens now.
    static std::wstring MenuBoxText()
    {
        CMainDlg dlg;
        if (!dlg.Create(nullptr)) return L"(no window)";
        return WindowText(::GetDlgItem(dlg.MenuPage().Handle(), IDC_MENU_SOFTWARE));
    }

    test::MovedAside uninstallEntries{{kUninstall, kUninstall32}};
    std::map<std::wstring, Entry> entries_;
};

TEST_F(InstalledSoftwareTest, ListsTheMakersEntriesInRegistryOrder)
{
    Add(L"{A1}", {L"Orvek, Inc.", L"TOVRA Agent", L"TOVRA Agent"});
    Add(L"{B2}", {L"Orvek, Inc. Japan", L"TOVRA 管理ツール", L"TOVRA 管理ツール"});
    Add(L"{C3}", {L"ORVEK, INC.", L"Capitals", std::nullopt});
    Add(L"{D4}", {L"Orvek, Inc.", L"TOVRA Agent", L"TOVRA Agent"});
    Add(L"{E5}", {L"Orvek, Inc.", std::nullopt, L""});
    Add(L"{F6}", {std::nullopt, L"No publisher", std::nullopt});
    Add(L"{G7}", {L"Orvek Inc", L"Other vendor", std::nullopt});
    Add(L"aaa", {L"Reseller of Orvek, Inc. products", L"Resold", L"Resold"});
    // A number is no publisher name.
    Add(L"{H8}", {std::nullopt, L"Numbered", std::nullopt});
    SetDword(std::wstring(kUninstall) + L"\\{H8}", L"Publisher", 1);
    // Only the native view counts.
    SetString(std::wstring(kUninstall32) + L"\\{W32}", L"Publisher", L"Orvek, Inc.");
    SetString(std::wstring(kUninstall32) + L"\\{W32}", L"DisplayName", L"TOVRA 32-bit");

    const std::vector<std::wstring> items = ExpectedItems();
    ASSERT_EQ(items.size(), 5u);
    std::wstring list;
    std::wstring box;
    for (const std::wstring& item : items) {
        list += (list.empty() ? L"\t" : L"\n\t") + item;
        box += (box.empty() ? L"" : L"\r\n") + item;
    }
    EXPECT_EQ(InstalledSoftwareList(), list);
    EXPECT_EQ(MenuBoxText(), box) << "line feeds become CR LF, tabs go";

    TempFolder folder;
    const std::wstring log = RunLogPath(folder.Path());
    WriteInstalledSoftware(log);
    // The first item follows the time stamp; the later ones stand on lines of their own.
    std::string expected = "T: install software:\r\nT: ";
    for (const std::wstring& item : items) {
        const std::string bytes = item == L"TOVRA 管理ツール" ? kKanriTool932 : std::string(item.begin(), item.end());
        expected += "\t" + bytes + "\r\n";
    }
    EXPECT_EQ(WithoutTimes(log), expected);
}

TEST_F(InstalledSoftwareTest, NoMatchGivesAnEmptyListEntryAndBox)
{
    for (bool withEntries : {false, true}) {
        SCOPED_TRACE(withEntries ? "only other makers" : "no uninstall key");
        if (withEntries) Add(L"{C3}", {L"ORVEK, INC.", L"Capitals", std::nullopt});
        EXPECT_EQ(InstalledSoftwareList(), L"");
        EXPECT_EQ(MenuBoxText(), L"");
        TempFolder folder;
        const std::wstring log = RunLogPath(folder.Path());
        WriteInstalledSoftware(log);
        EXPECT_EQ(WithoutTimes(log), "T: install software:\r\nT: \r\n");
    }
}

}  // namespace
}  // namespace qx
