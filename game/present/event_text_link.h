#pragma once
// The escape codes of names that event commands look up (common events
// called by name, labels), expanded as texts are for the running event.

#include "game/event/event_links.h"

namespace velk {

class VariableStore;

class EscapeCodeTextLink final : public EventTextLink {
public:
    explicit EscapeCodeTextLink(VariableStore& store) : store_(store) {}
    std::string ConvertEscapeCodes(const std::string& text, const EventTextOptions& options) override;
    std::unique_ptr<EventNameMatcher> NameMatcher(std::string wanted, const EventTextOptions& options) override;

private:
    VariableStore& store_;
};

}  // namespace velk
