#pragma once
// The event-log filter on Windows Vista and later: period and event kinds.

#include "collect/collect_request.h"
#include "platform/ui.h"

namespace qx {

class CEventlogDlg : public Dialog {
public:
    explicit CEventlogDlg(CollectRequest* request) noexcept;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void WriteFieldsToControls();
    void ReadControlsIntoFields();

    CollectRequest* request_;
};

}  // namespace qx
