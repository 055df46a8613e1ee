#include "game/data/text_search.h"

#include <cstring>

namespace velk {

TextSearch::TextSearch(std::string_view part) : part_(part), fallback_(part.size(), 0) {
    uint32_t matched = 0;
    for (size_t i = 1; i < part_.size(); ++i) {
        while (matched > 0 && part_[matched] != part_[i])
            matched = fallback_[matched - 1];
        if (part_[matched] == part_[i]) ++matched;
        fallback_[i] = matched;
    }
}

size_t TextSearch::FindIn(std::string_view text, size_t from) const {
    const size_t size = part_.size();
    if (from > text.size()) return std::string_view::npos;
    if (size == 0) return from;
    const char* const data = text.data();
    const char first = part_[0];
    uint32_t matched = 0;
    for (size_t at = from; at < text.size();) {
        if (matched == 0) {
            const void* hit = std::memchr(data + at, first, text.size() - at);
            if (hit == nullptr) return std::string_view::npos;
            at = static_cast<size_t>(static_cast<const char*>(hit) - data);
        }
        matched = Next(matched, data[at++]);
        if (matched == size) return at - size;
    }
    return std::string_view::npos;
}

bool TextContains(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    if (part.size() <= 1) return part.empty() || std::memchr(text.data(), part[0], text.size()) != nullptr;
    return TextSearch(part).FindIn(text) != std::string_view::npos;
}

}  // namespace velk
