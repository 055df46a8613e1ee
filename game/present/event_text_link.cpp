#include "game/present/event_text_link.h"

#include <utility>

#include "game/present/escape_codes.h"

namespace velk {
namespace {

EscapeCodeOptions ExpansionOptions(const EventTextOptions& options) {
    EscapeCodeOptions expand;
    expand.mapEventId = options.mapEventId;
    expand.commonEventId = options.commonEventId;
    expand.mapId = options.mapId;
    expand.valuesOnly = options.valuesOnly;
    expand.leadingAtSignLine = options.leadingAtSignLine;
    return expand;
}

class EscapedNames final : public EventNameMatcher {
public:
    EscapedNames(VariableStore& store, const EventTextOptions& options, std::string wanted)
        : matcher_(store, ExpansionOptions(options), std::move(wanted)) {}
    bool Matches(const std::string& name) override { return matcher_.Matches(name); }

private:
    EscapedNameMatcher matcher_;
};

}  // namespace

std::string EscapeCodeTextLink::ConvertEscapeCodes(const std::string& text, const EventTextOptions& options) {
    return velk::ConvertEscapeCodes(store_, text, ExpansionOptions(options));
}

std::unique_ptr<EventNameMatcher> EscapeCodeTextLink::NameMatcher(std::string wanted, const EventTextOptions& options) {
    return std::make_unique<EscapedNames>(store_, options, std::move(wanted));
}

}  // namespace velk
