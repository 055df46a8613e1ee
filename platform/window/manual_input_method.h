#pragma once
// An input method without a daemon: tests script what it reports and which
// keys it takes, and read what it was told.

#include <set>
#include <vector>

#include "platform/window/input_method.h"

namespace velk::platform {

class ManualInputMethod final : public InputMethodBackend {
public:
    void SetFocus(bool focused) override { focused_ = focused; }
    bool FilterKey(const InputMethodKey& key) override;
    void PumpEvents(std::vector<InputMethodEvent>& out) override;
    void Reset() override { ++reset_count_; }
    void SetCandidatePage(int page_size, int page_start) override {
        page_size_ = page_size;
        page_start_ = page_start;
    }

    // Test controls.
    void Report(InputMethodEvent event) { pending_.push_back(std::move(event)); }
    // The virtual keys it takes while focused.
    void TakeKeys(std::set<uint32_t> keys) { taken_ = std::move(keys); }

    bool focused() const { return focused_; }
    int reset_count() const { return reset_count_; }
    int page_size() const { return page_size_; }
    int page_start() const { return page_start_; }
    const std::vector<InputMethodKey>& keys_seen() const { return keys_seen_; }

private:
    bool focused_ = false;
    int reset_count_ = 0;
    int page_size_ = 0;
    int page_start_ = -1;
    std::set<uint32_t> taken_;
    std::vector<InputMethodEvent> pending_;
    std::vector<InputMethodKey> keys_seen_;
};

}  // namespace velk::platform
