#include "game/present/event_text_link.h"

#include "game/present/escape_codes.h"

namespace velk {

std::string EscapeCodeTextLink::ConvertEscapeCodes(const std::string& text, const EventTextOptions& options) {
    EscapeCodeOptions expand;
    expand.mapEventId = options.mapEventId;
    expand.commonEventId = options.commonEventId;
    expand.mapId = options.mapId;
    expand.valuesOnly = options.valuesOnly;
    expand.leadingAtSignLine = options.leadingAtSignLine;
    return velk::ConvertEscapeCodes(store_, text, expand);
}

}  // namespace velk
