#pragma once
// A progress without a dialog that shows nothing and never cancels, for tests
// that look only at what a collection leaves behind.

#include "collect/collector.h"

namespace qx::test {

class QuietProgress : public CollectionProgress {
public:
    const CollectRequest& Request() const override { return request; }
    bool CancelRequested() const override { return false; }
    void SetStepTitle(const std::wstring&) override {}
    void SetStatus(const std::wstring&) override {}
    void SetProgress(int) override {}
    // The pauses only keep a status readable: a test need not wait them out.
    void Pause(DWORD) override {}
    CollectRequest request;
};

}  // namespace qx::test
