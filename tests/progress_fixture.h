#pragma once
// A collection progress without a dialog, for tests that run collectors or a
// whole collection plan directly: it shows nothing and is never cancelled.

#include "collect/collector.h"

#include <string>

namespace qx::test {

class FakeProgress : public CollectionProgress {
public:
    const CollectRequest& Request() const override { return request; }
    bool CancelRequested() const override { return false; }
    void SetStepTitle(const std::wstring&) override {}
    void SetStatus(const std::wstring&) override {}
    void SetProgress(int) override {}
    CollectRequest request;
};

}  // namespace qx::test
