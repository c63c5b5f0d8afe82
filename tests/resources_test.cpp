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

// Every message by its number, as the users read it: line breaks, formats,
// full-width and ASCII colons as they are.
TEST(Resources, StringsKeepJapaneseLineBreaksAndFormats)
{
    const std::pair<UINT, const wchar_t*> rows[] = {
        {101, L"&About..."},
        {110, L"保存先フォルダーを指定してください"},
        {111, L"情報収集の処理を中断しキャンセルしますか？"},
        {112, L"TOVRA DIAG - 情報取得のキャンセル"},
        {113, L"TOVRA DIAG - 保存"},
        {114, L"情報収集の処理を中断しました。"},
        {115, L"情報収集が完了しました。保存フォルダーを開きますか？"},
        {116, L"出力先への書き込みに失敗しました。書き込み権限を確認してください。"},
        {117, L"デバッグログをコピーしています。"},
        {118, L"デバッグログ情報の取得:"},
        {119, L"デバッグログを取得しました。"},
        {120, L"ダンプファイル情報の取得:"},
        {121, L"クラッシュダンプファイルを取得しました。"},
        {122, L"クラッシュダンプファイルをコピーしています。"},
        {123, L"デバッグログファイルはありません。"},
        {124, L"クラッシュダンプファイルはありません。"},
        {125, L"レジストリ情報の取得:"},
        {126, L"レジストリ情報を取得しています。"},
        {127, L"イベントログ情報の取得:"},
        {128, L"イベントログ情報を取得しました。"},
        {129, L"Systemのイベントログ情報を取得しました。"},
        {131, L"Applicationのイベントログ情報を取得しました。"},
        {132, L"Securityのイベントログ情報を取得しました。"},
        {134, L"TOVRAのイベントログを収集しています。"},
        {135, L"TOVRA Securityのイベントログを収集しています。"},
        {137, L"Vorlixのイベントログを収集しています。"},
        {138, L"Systemのイベントログを収集しています。"},
        {140, L"Applicationのイベントログを収集しています。"},
        {141, L"Securityのイベントログを収集しています。"},
        {142, L"クラッシュダンプログファイルをコピーしています。"},
        {143, L"クラッシュダンプログファイルはありません。"},
        {144, L"クラッシュダンプログファイルを取得しました。"},
        {145, L"ダンプログ情報の取得:"},
        {152, L"%s <REG_DWORD> %d"},
        {153, L"%s <REG_DWORD> %d"},
        {159, L"レジストリの設定を削除します。\nよろしいですか？"},
        {160, L"ログの削除には再起動が必要です。\n再起動しますか？"},
        {161, L"Vorlixアプリケーションファイルの取得："},
        {162, L"Vorlixアプリケーションファイルをコピーしています。"},
        {163, L"vlxファイルはありません。"},
        {164, L"vlxファイルを取得しました。"},
        {165, L"調査用Vorlixを起動しました。"},
        {166, L"Vorlixがインストールされていません。"},
        {167, L"調査用Vorlixがインストールされていません。"},
        {168, L"調査用Vorlixの起動に失敗しました。"},
        {169, L"調査用Vorlixを終了しました"},
        {170, L"管理者モードの設定を実行しました。"},
        {171, L"管理者モードの設定を解除しました。"},
        {173, L"ルートディレクトリは指定できません。"},
        {200, L"レジストリの設定に失敗しました。"},
        {201, L"レジストリを設定しました。\n再起動しますか？"},
        {202, L"他のプログラムがログファイルを使用しているためログフォルダーの削除ができませんでした。"
              L"再起動後にログフォルダーを削除してください。"},
        {203, L"%s <REG_DWORD> %d"},
        {206, L"レジストリのオープンに失敗しました。"},
    };
    for (const auto& [id, text] : rows) EXPECT_EQ(ResourceString(id), text) << id;
}

}  // namespace
