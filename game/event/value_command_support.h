#pragma once
// Small helpers the value commands share.

#include <cstdint>
#include <string>

#include "game/event/event_records.h"

namespace velk {

// Argument k, 0 when the command has none there (lists are padded only to
// the arguments every form reads).
inline int32_t Arg(const EventCommand& command, int32_t k) {
    return k >= 0 && static_cast<size_t>(k) < command.arguments.size() ? command.arguments[static_cast<size_t>(k)]
                                                                          : 0;
}

inline std::string Text(const EventCommand& command, size_t k) {
    return k < command.strings.size() ? command.strings[k] : std::string();
}

inline int32_t WrapId(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

}  // namespace velk
