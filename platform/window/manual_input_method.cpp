#include "platform/window/manual_input_method.h"

namespace velk::platform {

bool ManualInputMethod::FilterKey(const InputMethodKey& key) {
    keys_seen_.push_back(key);
    return focused_ && taken_.count(key.virtual_key) != 0;
}

void ManualInputMethod::PumpEvents(std::vector<InputMethodEvent>& out) {
    for (auto& event : pending_)
        out.push_back(std::move(event));
    pending_.clear();
}

}  // namespace velk::platform
