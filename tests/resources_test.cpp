// The resources every later part relies on: each dialog template with its
// style, font and size, and the string table.

#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

struct TemplateHeader {
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0;
    short cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring typeface;
};

// Skips a menu or class field of an extended template: none, an ordinal or a string.
const WORD* SkipNameOrOrdinal(const WORD* p)
{
    if (*p == 0) return p + 1;
    if (*p == 0xFFFF) return p + 2;
    while (*p) ++p;
    return p + 1;
}

bool ReadTemplate(int id, TemplateHeader& header)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!resource) return false;
    const auto* words = static_cast<const WORD*>(::LockResource(::LoadResource(module, resource)));
    if (!words || words[0] != 1 || words[1] != 0xFFFF) return false;  // DIALOGEX only
    const BYTE* bytes = reinterpret_cast<const BYTE*>(words);
    header.exStyle = *reinterpret_cast<const DWORD*>(bytes + 8);
    header.style = *reinterpret_cast<const DWORD*>(bytes + 12);
    header.cx = *reinterpret_cast<const short*>(bytes + 22);
    header.cy = *reinterpret_cast<const short*>(bytes + 24);
    const WORD* p = reinterpret_cast<const WORD*>(bytes + 26);
    p = SkipNameOrOrdinal(p);  // menu
    p = SkipNameOrOrdinal(p);  // class
    header.caption = reinterpret_cast<const wchar_t*>(p);
    p += header.caption.size() + 1;
    if (header.style & DS_SETFONT) {
        header.pointSize = p[0];
        p += 3;  // point size, weight, italic and charset
        header.typeface = reinterpret_cast<const wchar_t*>(p);
    }
    return true;
}

const int kPageIds[] = {IDD_MENU_PAGE,           IDD_LOGSETTING_PAGE,          IDD_EVENTLOG_PAGE,
                        IDD_COLLECTSETTING_PAGE, IDD_CLEARCOLLECTSETTING_PAGE, IDD_VLXLOGSETTING_PAGE,
                        IDD_VLXLOGEXEC_PAGE,     IDD_VLXCONSOLELOG_PAGE,       IDD_COLLECTVLXLOG_PAGE,
                        IDD_CLEARCOLLECTVLXLOG_PAGE};

TEST(Resources, PagesAreChildDialogsOfOneSizeInMsUiGothic)
{
    TemplateHeader menu;
    ASSERT_TRUE(ReadTemplate(IDD_MENU_PAGE, menu));
    for (int id : kPageIds) {
        SCOPED_TRACE(id);
        TemplateHeader page;
        ASSERT_TRUE(ReadTemplate(id, page));
        EXPECT_EQ(page.style & (DS_CONTROL | WS_CHILD | DS_SETFONT), DS_CONTROL | WS_CHILD | DS_SETFONT);
        EXPECT_FALSE(page.style & (WS_VISIBLE | WS_CAPTION | WS_POPUP));
        EXPECT_EQ(page.typeface, L"MS UI Gothic");
        EXPECT_EQ(page.cx, menu.cx);
        EXPECT_EQ(page.cy, menu.cy);
    }
}

struct PopupRow {
    int id;
    const wchar_t* caption;
    const wchar_t* typeface;
};

TEST(Resources, PopupDialogsHaveTheirCaptionsAndFonts)
{
    const PopupRow rows[] = {
        {IDD_ABOUTBOX, L"TOVRA DIAG", L"MS UI Gothic"},
        {IDD_MAIN_DLG, L"TOVRA DIAG", L"MS UI Gothic"},
        {IDD_EVENTLOG_DLG, L"TOVRA DIAG - イベントログの詳細設定", L"MS UI Gothic"},
        {IDD_EVENTLOG_XP_DLG, L"TOVRA DIAG - イベントログの詳細設定", L"MS UI Gothic"},
        {IDD_PROGRESS_DLG, L"TOVRA DIAG - 情報の取得", L"MS Shell Dlg"},
    };
    for (const PopupRow& row : rows) {
        SCOPED_TRACE(row.id);
        TemplateHeader dialog;
        ASSERT_TRUE(ReadTemplate(row.id, dialog));
        EXPECT_EQ(dialog.caption, row.caption);
        EXPECT_EQ(dialog.typeface, row.typeface);
        EXPECT_TRUE(dialog.style & WS_POPUP);
        EXPECT_TRUE(dialog.style & WS_SYSMENU) << "close box";
    }
    TemplateHeader main;
    ASSERT_TRUE(ReadTemplate(IDD_MAIN_DLG, main));
    EXPECT_TRUE(main.style & WS_MINIMIZEBOX);
    EXPECT_TRUE(main.exStyle & WS_EX_APPWINDOW) << "its own taskbar button";
}

std::wstring ResourceString(UINT id)
{
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

TEST(Resources, StringTableHoldsEveryMessage)
{
    const UINT ids[] = {101, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126,
                        127, 128, 129, 131, 132, 134, 135, 137, 138, 140, 141, 142, 143, 144, 145, 152, 153, 159,
                        160, 161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 173, 200, 201, 202, 203, 206};
    for (UINT id : ids) EXPECT_FALSE(ResourceString(id).empty()) << id;
}

TEST(Resources, StringsKeepJapaneseLineBreaksAndFormats)
{
    const std::pair<UINT, const wchar_t*> rows[] = {
        {IDS_ABOUTBOX, L"&About..."},
        {IDS_PICK_FOLDER_TITLE, L"保存先フォルダーを指定してください"},
        {IDS_SAVE_CAPTION, L"TOVRA DIAG - 保存"},
        {IDS_VLXFILES_TITLE, L"Vorlixアプリケーションファイルの取得："},
        {IDS_REGISTRY_SET_RESTART, L"レジストリを設定しました。\n再起動しますか？"},
        {IDS_LOGLEVEL_FORMAT, L"%s <REG_DWORD> %d"},
    };
    for (const auto& [id, text] : rows) EXPECT_EQ(ResourceString(id), text) << id;
}

}  // namespace
