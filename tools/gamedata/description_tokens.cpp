#include "tools/gamedata/description_tokens.h"

#include <charconv>
#include <limits>

#include "platform/base/text_encoding.h"

namespace velk::gamedata {
namespace {

std::string ToShiftJis(std::string_view utf8) {
    auto converted = platform::Utf8ToShiftJisExact(utf8);
    if (!converted) throw DescriptionError("text cannot be written in Shift-JIS: " + std::string(utf8));
    return *converted;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

Token ReadQuoted(std::string_view line, size_t& at) {
    Token token;
    token.quoted = true;
    std::string pending;
    auto flush = [&] {
        token.text += ToShiftJis(pending);
        pending.clear();
    };
    ++at;
    while (true) {
        if (at >= line.size()) throw DescriptionError("a quoted text is not closed");
        char c = line[at++];
        if (c == '"') break;
        if (c != '\\') {
            pending.push_back(c);
            continue;
        }
        if (at >= line.size()) throw DescriptionError("a quoted text ends in a backslash");
        char escape = line[at++];
        switch (escape) {
            case 'n': pending.push_back('\n'); break;
            case 'r': pending.push_back('\r'); break;
            case 't': pending.push_back('\t'); break;
            case '"':
            case '\\': pending.push_back(escape); break;
            case 'x': {
                int high = at < line.size() ? HexValue(line[at]) : -1;
                int low = at + 1 < line.size() ? HexValue(line[at + 1]) : -1;
                if (high < 0 || low < 0) throw DescriptionError("\\x needs two hexadecimal digits");
                flush();
                token.text.push_back(static_cast<char>(high * 16 + low));
                at += 2;
                break;
            }
            default: throw DescriptionError(std::string("unknown escape \\") + escape);
        }
    }
    flush();
    return token;
}

}  // namespace

Tokens Tokenize(std::string_view line) {
    Tokens tokens;
    size_t at = 0;
    while (true) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        if (at >= line.size() || line[at] == '#') break;
        if (line[at] == '"') {
            tokens.push_back(ReadQuoted(line, at));
            continue;
        }
        size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') ++at;
        tokens.push_back({ToShiftJis(line.substr(start, at - start)), false});
    }
    return tokens;
}

int64_t ParseInteger(const Token& token, int64_t low, int64_t high) {
    int64_t value = 0;
    const char* first = token.text.data();
    const char* last = first + token.text.size();
    auto [end, failure] = std::from_chars(first, last, value);
    if (token.quoted || failure != std::errc() || end != last) throw DescriptionError("not a number: " + token.text);
    if (value < low || value > high) throw DescriptionError("number out of range: " + token.text);
    return value;
}

int32_t Int32(const Token& token) {
    return static_cast<int32_t>(
        ParseInteger(token, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
uint8_t Byte(const Token& token) { return static_cast<uint8_t>(ParseInteger(token, 0, 255)); }
uint16_t Word(const Token& token) { return static_cast<uint16_t>(ParseInteger(token, 0, 65535)); }
size_t Index(const Token& token, size_t limit) { return static_cast<size_t>(ParseInteger(token, 0, limit)); }


void Expect(const Tokens& tokens, size_t count) {
    if (tokens.size() != count) {
        throw DescriptionError("'" + tokens[0].text + "' takes " + std::to_string(count - 1) + " value(s)");
    }
}

void AtLeast(const Tokens& tokens, size_t count) {
    if (tokens.size() < count) throw DescriptionError("'" + tokens[0].text + "' needs more values");
}

}  // namespace velk::gamedata
