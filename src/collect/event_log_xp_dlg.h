#pragma once
// The event-log choice before Windows Vista: which whole logs to back up.

#include "collect/collect_request.h"
#include "platform/ui.h"

namespace qx {

class CEventLogXpDlg : public Dialog {
public:
    explicit CEventLogXpDlg(CollectRequest* request) noexcept;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void WriteFieldsToControls();
    void ReadControlsIntoFields();

    CollectRequest* request_;
};

}  // namespace qx
