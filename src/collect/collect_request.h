#pragma once
// The user's collection choices: set on the collection page, read by the
// progress dialog and every collector. One record, never copied during a run.

#include <windows.h>

#include <array>
#include <string>

namespace qx {

struct CollectRequest {
    // The chosen folder joined with "QXDIAG"; set by Save.
    std::wstring OutputFolder;
    // Period of the event-log export: 0 "過去48時間", 1 "過去7日間", 2 "過去30日間", 3 "過去60日間", 4 "すべて".
    int PeriodIndex = 1;
    // Information, warning, error, critical.
    std::array<BYTE, 4> SystemLevels{1, 1, 1, 1};
    std::array<BYTE, 4> ApplicationLevels{1, 1, 1, 1};
    BYTE SecurityAuditSuccess = 1;
    BYTE SecurityAuditFailure = 1;
    // Verbose events (Level=5) of System and Application too; the collection
    // page never asks for them, qxcollect.exe can.
    BYTE VerboseEvents = 0;
    // Before Vista: the whole logs to back up.
    BYTE LegacySystemLog = 1;
    BYTE LegacyApplicationLog = 1;
    BYTE LegacySecurityLog = 1;
    // The five items of the collection page; overwritten on every Save.
    BYTE WantEventLogs = 1;
    BYTE WantDebugLogs = 1;
    BYTE WantCrashDumps = 1;
    BYTE WantRegistry = 1;
    BYTE WantVorlixFiles = 0;

    static constexpr int kLevelFlagCount = 10;
    static constexpr int kLegacyLogCount = 3;

    // The ten level flags in order: System 0-3, Application 4-7, audit success,
    // audit failure; check box 2000 + i shows flag i.
    BYTE& LevelFlag(int index);
    // The three legacy log flags: System, Application, Security (check boxes 3000 + i).
    BYTE& LegacyLogFlag(int index);
};

}  // namespace qx
