#pragma once
// A search for one part in byte texts whose cost follows the text's length
// whatever the two hold. A plain search compares the part again at every
// byte of a text like "aaa…a" for a part like "aa…ab"; with strings of
// megabytes that is minutes in one frame. The search keeps how much of the
// part the bytes just read begin with, and leaps with memchr over bytes that
// cannot begin it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

class TextSearch {
public:
    explicit TextSearch(std::string_view part);

    size_t PartSize() const { return part_.size(); }
    char FirstByte() const { return part_[0]; }

    // The first occurrence that starts at or after `from`, or npos; an empty
    // part is found at `from` (std::string::find's answers).
    size_t FindIn(std::string_view text, size_t from = 0) const;

    // The matcher's step for callers that feed bytes one at a time: from
    // `matched` (how many bytes at the end of what was read begin the part,
    // below the part's length) to the same after `byte`. The part's length
    // means it has just been read whole. The part must not be empty.
    uint32_t Next(uint32_t matched, char byte) const {
        while (matched > 0 && part_[matched] != byte)
            matched = fallback_[matched - 1];
        return part_[matched] == byte ? matched + 1 : 0;
    }

private:
    std::string part_;
    // fallback_[i]: the longest proper end of part_[0..i] that begins it.
    std::vector<uint32_t> fallback_;
};

// Whether `part` occurs in `text` (an empty part always does).
bool TextContains(std::string_view text, std::string_view part);

}  // namespace velk
