#pragma once
// Switches the product's debug logging on: writes the logging and dump values,
// creates the debug-log folder and offers a restart.

#include "pages/page.h"

#include <windows.h>

#include <array>
#include <string>

namespace qx {

struct RotationPeriod {
    // The list item's string-table text.
    UINT TextId;
    DWORD LogDays;
};

// The items of list IDC_ROTATION, in list order.
extern const std::array<RotationPeriod, 5> RotationPeriods;

// The item selected while "LogDays" holds `logDays`; a value that no item has
// selects the default item.
int RotationIndexOf(DWORD logDays);
// The "LogDays" of item `index`; the default item's when no item is selected.
DWORD RotationDaysAt(int index);

// What both debug-log pages show: the folder in edit box IDC_LOGFOLDER and the
// texts of the three numbers in statics IDC_LOGLEVEL_TEXT to IDC_DUMPTYPE_TEXT.
struct DebugLogSettingTexts {
    std::wstring Folder;
    std::wstring LogLevelText;
    std::wstring LogTypeText;
    std::wstring DumpTypeText;

    // The folder from the registry, and the texts of these numbers.
    static DebugLogSettingTexts Shown(DWORD logLevel, DWORD logType, DWORD dumpType);
    void WriteToControls(HWND page) const;
    void ReadFromControls(HWND page);
};

class CCollectSettingPage : public CPage {
public:
    CCollectSettingPage() noexcept;

    BOOL OnPageActivate(int param) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnPickFolder();
    void OnApply();
    // The registry steps of Apply, stopping at the first that fails.
    bool WriteSettings() const;
    void WriteFieldsToControls() const;
    void ReadControlsIntoFields();

    DebugLogSettingTexts shown_;
    int rotationIndex_ = 1;
};

}  // namespace qx
