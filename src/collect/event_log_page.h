#pragma once
// The collection page: what to collect, the event-log filter, and Save.

#include "collect/collect_request.h"
#include "collect/collection_run.h"
#include "pages/page.h"

#include <utility>

namespace qx {

class CEventLogPage : public CPage {
public:
    CEventLogPage() noexcept;

    const CollectRequest& Request() const noexcept { return request_; }
    CollectRequest& Request() noexcept { return request_; }
    // What Save runs; the tool's own steps unless a test gives others.
    void SetCollectionPlan(CollectionPlan plan) { plan_ = std::move(plan); }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode) override;
    void OnCancel() override;

private:
    void OnEventLogItem();
    void OnDetail();
    void OnSave();
    void Save();
    // When what the chosen items need leaves less than a margin free on the
    // chosen folder's volume, asks whether to go on; true to go on.
    bool EnoughSpaceOrGoOn(const std::wstring& chosenFolder) const;
    void OfferArchive();
    void ReadItemsIntoRequest();

    CollectRequest request_;
    CollectionPlan plan_ = DefaultCollectionPlan();
};

}  // namespace qx
