// qxcollect.exe's options: both spellings, the collection page's defaults, and
// every way an argument is refused.

#include "qxcollect/command_line.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(CommandLine, DefaultsAreThoseOfTheCollectionPage)
{
    const ParsedCommandLine parsed = ParseCommandLine({L"--out", L"C:\\out"});
    ASSERT_TRUE(parsed.Ok);
    const UnattendedOptions& o = parsed.Options;
    EXPECT_EQ(o.OutFolder, L"C:\\out");
    const CollectRequest& r = o.Request;
    EXPECT_EQ(r.PeriodIndex, 1);
    EXPECT_EQ(r.SystemLevels, (std::array<BYTE, 4>{1, 1, 1, 1}));
    EXPECT_EQ(r.ApplicationLevels, (std::array<BYTE, 4>{1, 1, 1, 1}));
    EXPECT_EQ(r.VerboseEvents, 0);
    EXPECT_TRUE(r.SecurityAuditSuccess && r.SecurityAuditFailure);
    EXPECT_TRUE(r.WantEventLogs && r.WantDebugLogs && r.WantCrashDumps && r.WantRegistry && r.WantVorlixFiles);
    EXPECT_FALSE(o.AllUsers || o.Zip || o.Quiet || o.Help);
}

TEST(CommandLine, BothSpellingsSetTheSameChoices)
{
    for (const std::vector<std::wstring>& arguments : std::vector<std::vector<std::wstring>>{
             {L"--out", L"D:\\x", L"--items", L"debug,registry", L"--period", L"30d", L"--levels", L"error,verbose",
              L"--audit", L"failure", L"--all-users", L"--zip", L"--quiet"},
             {L"/out:D:\\x", L"/items:debug,registry", L"/PERIOD:30D", L"/levels:error,verbose", L"/audit:failure",
              L"/all-users", L"/zip", L"/Quiet"},
             {L"--out=D:\\x", L"--items=REGISTRY,debug", L"--period=30d", L"--levels=verbose,error",
              L"--audit=failure", L"--ALL-USERS", L"--zip", L"--quiet"},
         }) {
        const ParsedCommandLine parsed = ParseCommandLine(arguments);
        ASSERT_TRUE(parsed.Ok) << testing::PrintToString(parsed.Error);
        const UnattendedOptions& o = parsed.Options;
        const CollectRequest& r = o.Request;
        EXPECT_EQ(o.OutFolder, L"D:\\x");
        EXPECT_EQ(std::vector<int>({r.WantEventLogs, r.WantDebugLogs, r.WantCrashDumps, r.WantRegistry,
                                    r.WantVorlixFiles}),
                  std::vector<int>({0, 1, 0, 1, 0}));
        EXPECT_EQ(r.PeriodIndex, 2);
        EXPECT_EQ(r.SystemLevels, (std::array<BYTE, 4>{0, 0, 1, 0}));
        EXPECT_EQ(r.ApplicationLevels, (std::array<BYTE, 4>{0, 0, 1, 0}));
        EXPECT_EQ(r.VerboseEvents, 1);
        EXPECT_FALSE(r.SecurityAuditSuccess);
        EXPECT_TRUE(r.SecurityAuditFailure);
        EXPECT_TRUE(o.AllUsers && o.Zip && o.Quiet);
    }
}

TEST(CommandLine, PeriodsInTheOrderOfTheList)
{
    const wchar_t* periods[] = {L"48h", L"7d", L"30d", L"60d", L"all"};
    for (int i = 0; i < 5; ++i) {
        const ParsedCommandLine parsed = ParseCommandLine({L"--out", L"C:\\o", L"--period", periods[i]});
        ASSERT_TRUE(parsed.Ok) << i;
        EXPECT_EQ(parsed.Options.Request.PeriodIndex, i);
    }
}

TEST(CommandLine, HelpNeedsNoOutputFolder)
{
    for (const wchar_t* help : {L"--help", L"/?", L"/help"}) {
        const ParsedCommandLine parsed = ParseCommandLine({help});
        EXPECT_TRUE(parsed.Ok && parsed.Options.Help) << testing::PrintToString(help);
    }
}

TEST(CommandLine, UnknownOrMalformedArgumentsAreRefusedAndNamed)
{
    const struct {
        std::vector<std::wstring> arguments;
        const wchar_t* error;
    } cases[] = {
        {{}, L"--out"},
        {{L"--zip"}, L"--out"},
        {{L"--out"}, L"--out"},
        {{L"/out"}, L"/out"},
        {{L"--out="}, L"--out="},
        {{L"--out", L"C:\\o", L"--bogus"}, L"--bogus"},
        {{L"--out", L"C:\\o", L"stray"}, L"stray"},
        {{L"--out", L"C:\\o", L"-zip"}, L"-zip"},
        {{L"--out", L"C:\\o", L"--zip=yes"}, L"--zip=yes"},
        {{L"--out", L"C:\\o", L"/zip:1"}, L"/zip:1"},
        {{L"--out", L"C:\\o", L"--out", L"C:\\p"}, L"--out"},
        {{L"--out", L"C:\\o", L"--items", L"debug,,vorlix"}, L"--items debug,,vorlix"},
        {{L"--out", L"C:\\o", L"--items", L"debug,debug"}, L"--items debug,debug"},
        {{L"--out", L"C:\\o", L"/items:logs"}, L"/items:logs"},
        {{L"--out", L"C:\\o", L"--period", L"1y"}, L"--period 1y"},
        {{L"--out", L"C:\\o", L"--levels="}, L"--levels="},
        {{L"--out", L"C:\\o", L"--audit", L"success,none"}, L"--audit success,none"},
        {{L"--", L"--out", L"C:\\o"}, L"--"},
        {{L"/", L"--out", L"C:\\o"}, L"/"},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_FALSE(parsed.Ok) << testing::PrintToString(c.arguments);
        EXPECT_EQ(parsed.Error, c.error) << testing::PrintToString(c.arguments);
    }
}

}  // namespace
}  // namespace qx
