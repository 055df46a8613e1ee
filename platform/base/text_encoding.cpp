#include "platform/base/text_encoding.h"

#include <cerrno>
#include <memory>
#include <type_traits>

#include <iconv.h>

namespace velk::platform {

namespace {

enum class Source { kShiftJis, kUtf8 };

// How many bytes make up the character that starts at `text`, so a character
// that does not convert is skipped whole.
size_t CharacterLength(Source source, const char* text, size_t left) {
    const auto lead = static_cast<uint8_t>(*text);
    size_t length = 1;
    if (source == Source::kShiftJis) {
        length = IsShiftJisLeadByte(lead) ? 2 : 1;
    } else if (lead >= 0xF8) {
        length = 1;  // never the start of a UTF-8 character
    } else if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    return length < left ? length : left;
}

// One conversion through iconv. With `lenient`, a character that does not
// convert becomes `replacement`; otherwise the whole conversion fails.
std::optional<std::string> Convert(const char* to, const char* from, Source source, std::string_view input,
                                   bool lenient, std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    // Closed however the conversion ends: the output string's growth may run
    // out of memory.
    const std::unique_ptr<std::remove_pointer_t<iconv_t>, int (*)(iconv_t)> closer(cd, iconv_close);
    std::string out;
    out.reserve(input.size() * 3 / 2 + 4);
    char buffer[1024];
    char* in_ptr = const_cast<char*>(input.data());
    size_t in_left = input.size();
    bool failed = false;
    while (in_left > 0) {
        char* out_ptr = buffer;
        size_t out_left = sizeof buffer;
        const size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(buffer, out_ptr);
        if (rc != static_cast<size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (!lenient) {
            failed = true;
            break;
        }
        const size_t skip = CharacterLength(source, in_ptr, in_left);
        out.append(replacement);
        in_ptr += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    if (failed) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::string ShiftJisToUtf8(std::string_view sjis) {
    return Convert("UTF-8", "CP932", Source::kShiftJis, sjis, true, "\xEF\xBF\xBD").value_or(std::string());
}

std::string Utf8ToShiftJis(std::string_view utf8) {
    return Convert("CP932", "UTF-8", Source::kUtf8, utf8, true, "?").value_or(std::string());
}

std::optional<std::string> ShiftJisToUtf8Exact(std::string_view sjis) {
    return Convert("UTF-8", "CP932", Source::kShiftJis, sjis, false, "");
}

std::optional<std::string> Utf8ToShiftJisExact(std::string_view utf8) {
    return Convert("CP932", "UTF-8", Source::kUtf8, utf8, false, "");
}

}  // namespace velk::platform
