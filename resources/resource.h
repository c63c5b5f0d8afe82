// Resource ids of QXDIAG. Shared by the C++ sources and QXDIAG.rc, so only #defines live here.
#ifndef QXDIAG_RESOURCE_H
#define QXDIAG_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialogs; the page ids double as the pages' PageId.
#define IDD_ABOUTBOX                    100
#define IDD_EVENTLOG_PAGE               102
#define IDD_EVENTLOG_DLG                133
#define IDD_PROGRESS_DLG                136
#define IDD_EVENTLOG_XP_DLG             139
#define IDD_MENU_PAGE                   146
#define IDD_MAIN_DLG                    147
#define IDD_LOGSETTING_PAGE             148
#define IDD_COLLECTSETTING_PAGE         149
#define IDD_CLEARCOLLECTSETTING_PAGE    151
#define IDD_VLXLOGSETTING_PAGE          154
#define IDD_VLXLOGEXEC_PAGE             155
#define IDD_VLXCONSOLELOG_PAGE          156
#define IDD_COLLECTVLXLOG_PAGE          204
#define IDD_CLEARCOLLECTVLXLOG_PAGE     205

// Icon and bitmap.
#define IDI_MAIN                        130
#define IDB_TRAY                        172

// Strings.
#define IDS_ABOUTBOX                    101
#define IDS_PICK_FOLDER_TITLE           110
#define IDS_CANCEL_CONFIRM              111
#define IDS_CANCEL_CAPTION              112
#define IDS_SAVE_CAPTION                113
#define IDS_COLLECT_CANCELLED           114
#define IDS_COLLECT_DONE                115
#define IDS_OUTPUT_WRITE_FAILED         116
#define IDS_DEBUGLOG_COPYING            117
#define IDS_DEBUGLOG_TITLE              118
#define IDS_DEBUGLOG_DONE               119
#define IDS_CRASHDUMP_TITLE             120
#define IDS_CRASHDUMP_DONE              121
#define IDS_CRASHDUMP_COPYING           122
#define IDS_DEBUGLOG_NONE               123
#define IDS_CRASHDUMP_NONE              124
#define IDS_REGISTRY_TITLE              125
#define IDS_REGISTRY_DONE               126
#define IDS_EVENTLOG_TITLE              127
#define IDS_EVENTLOG_DONE               128
#define IDS_SYSTEMLOG_DONE              129
#define IDS_APPLICATIONLOG_DONE         131
#define IDS_SECURITYLOG_DONE            132
#define IDS_TOVRALOG_RUNNING            134
#define IDS_TOVRASECURITYLOG_RUNNING    135
#define IDS_VORLIXLOG_RUNNING           137
#define IDS_SYSTEMLOG_RUNNING           138
#define IDS_APPLICATIONLOG_RUNNING      140
#define IDS_SECURITYLOG_RUNNING         141
#define IDS_DUMPLOG_COPYING             142
#define IDS_DUMPLOG_NONE                143
#define IDS_DUMPLOG_DONE                144
#define IDS_DUMPLOG_TITLE               145
#define IDS_LOGTYPE_FORMAT              152
#define IDS_DUMPTYPE_FORMAT             153
#define IDS_CLEAR_CONFIRM               159
#define IDS_CLEAR_RESTART               160
#define IDS_VLXFILES_TITLE              161
#define IDS_VLXFILES_COPYING            162
#define IDS_VLXFILES_NONE               163
#define IDS_VLXFILES_DONE               164
#define IDS_VLX_STARTED                 165
#define IDS_VLX_NOT_INSTALLED           166
#define IDS_VLXLOG_NOT_INSTALLED        167
#define IDS_VLX_START_FAILED            168
#define IDS_VLX_STOPPED                 169
#define IDS_DEVTOOLS_ENABLED            170
#define IDS_DEVTOOLS_RESTORED           171
#define IDS_ROOT_NOT_ALLOWED            173
#define IDS_REGISTRY_SET_FAILED         200
#define IDS_REGISTRY_SET_RESTART        201
#define IDS_LOGFOLDER_DELETE_FAILED     202
#define IDS_LOGLEVEL_FORMAT             203
#define IDS_REGISTRY_OPEN_FAILED        206

// List items, consecutive in list order: IDS_PERIOD_48H + i is item i of 1005,
// IDS_ROTATION_2D + i item i of IDC_ROTATION.
#define IDS_PERIOD_48H                  300
#define IDS_PERIOD_7D                   301
#define IDS_PERIOD_30D                  302
#define IDS_PERIOD_60D                  303
#define IDS_PERIOD_ALL                  304
#define IDS_ROTATION_2D                 310
#define IDS_ROTATION_7D                 311
#define IDS_ROTATION_30D                312
#define IDS_ROTATION_60D                313
#define IDS_ROTATION_ALL                314

// A debug-log folder that is not deleted: the message, with the folder for its
// first %s and one of the reasons after it for its second.
#define IDS_LOGFOLDER_REFUSED           320
#define IDS_REFUSED_NOT_FULL_PATH       321
#define IDS_REFUSED_DRIVE_ROOT          322
#define IDS_REFUSED_NETWORK_OR_DEVICE   323
#define IDS_REFUSED_VARIABLE            324
#define IDS_REFUSED_CHARACTER           325
#define IDS_REFUSED_TOO_LONG            326
#define IDS_REFUSED_WINDOWS_FOLDER      327
#define IDS_REFUSED_LINK                328

// IDD_CLEARCOLLECTSETTING_PAGE's note when the journal holds the values it puts back; %s is the
// time of the earliest record.
#define IDS_JOURNAL_RESTORE_NOTE        330

// Save's question when the chosen volume may be too small: %s needed, %s free, in MB.
#define IDS_SPACE_SHORT                 340

// Controls. One name per number: several dialogs share 1006, 1028..1032, 1047 and 1048.
#define IDC_SAVE                        1004
#define IDC_PERIOD                      1005
#define IDC_EVENTLOG_LABEL              1006
#define IDC_EVENTLOG_DETAIL             1012
#define IDC_PROGRESS                    1013
#define IDC_STEP_TITLE                  1014
#define IDC_STATUS                      1015
#define IDC_CANCEL_RUN                  1016
#define IDC_MENU_LOGSETTING             1021
#define IDC_MENU_COLLECT                1022
#define IDC_LOG_COLLECTSETTING          1023
#define IDC_PICK_LOGFOLDER              1024
#define IDC_LOG_CLEARSETTING            1025
#define IDC_LOGFOLDER                   1028
#define IDC_LOGLEVEL_TEXT               1029
#define IDC_LOGTYPE_TEXT                1030
#define IDC_DUMPTYPE_TEXT               1031
#define IDC_APPLY                       1032
#define IDC_MENU_VLXLOGSETTING          1033
#define IDC_VLX_EXEC                    1035
#define IDC_VLX_EDGE                    1036
#define IDC_VLX_CHROME                  1037
#define IDC_CONSOLE_STEP1               1038
#define IDC_CONSOLE_STEP2               1039
#define IDC_CONSOLE_STEP3               1040
#define IDC_TRAY_PICTURE                1043
#define IDC_VLX_STOP                    1044
#define IDC_DEVTOOLS_ENABLE             1045
#define IDC_DEVTOOLS_RESTORE            1046
#define IDC_ROTATION                    1047
#define IDC_LOGPATH_TEXT                1048
#define IDC_LOGDAYS_TEXT                1049
#define IDC_DELETE_LOGFOLDER            1050
#define IDC_MENU_VERSION                1051
#define IDC_MENU_SOFTWARE               1052
#define IDC_LOG_VLXCOLLECT              1055
#define IDC_LOG_VLXCLEAR                1056
#define IDC_JOURNAL_NOTE                1057

// Event-log filter of IDD_EVENTLOG_DLG: 2000 + i is the i-th level byte.
#define IDC_SYSTEM_INFO                 2000
#define IDC_SYSTEM_WARNING              2001
#define IDC_SYSTEM_ERROR                2002
#define IDC_SYSTEM_CRITICAL             2003
#define IDC_APPLICATION_INFO            2004
#define IDC_APPLICATION_WARNING         2005
#define IDC_APPLICATION_ERROR           2006
#define IDC_APPLICATION_CRITICAL        2007
#define IDC_SECURITY_SUCCESS            2008
#define IDC_SECURITY_FAILURE            2009

// Items of the collection page.
#define IDC_ITEM_EVENTLOG               2010
#define IDC_ITEM_DEBUGLOG               2011
#define IDC_ITEM_CRASHDUMP              2012
#define IDC_ITEM_REGISTRY               2013
#define IDC_ITEM_VORLIX                 2014

// Legacy logs of IDD_EVENTLOG_XP_DLG: 3000 + i is the i-th legacy byte.
#define IDC_LEGACY_SYSTEM               3000
#define IDC_LEGACY_APPLICATION          3001
#define IDC_LEGACY_SECURITY             3002

#endif

// The archive of a collection, and qxcollect.exe's console texts.
#define IDS_ARCHIVE_TITLE               360
#define IDS_ARCHIVE_ADDING              361
#define IDS_ARCHIVE_DONE                362
#define IDS_ARCHIVE_ASK                 363
#define IDS_ARCHIVE_MADE                364
#define IDS_ARCHIVE_CANCELLED           365
#define IDS_ARCHIVE_FAILED              366
#define IDS_CLI_USAGE                   370
#define IDS_CLI_BAD_OPTION              371
#define IDS_CLI_NOT_ELEVATED            372
#define IDS_CLI_OUTPUT_FAILED           373
#define IDS_CLI_FAILURES                374
