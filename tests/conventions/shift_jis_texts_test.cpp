// Every Shift-JIS text constant in the sources is spelled twice: as the bytes
// the program writes, and readable (UTF-8) in the comment line above it.
// Nothing but this test ties the two together, so it reads every source file,
// decodes each constant's literal and compares it with its readable form
// converted to Shift-JIS.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/base/text_encoding.h"
#include "tests/support/source_dir.h"

namespace velk {
namespace {

namespace fs = std::filesystem;

struct TextConstant {
    std::string place;     // file:line
    std::string readable;  // the comment above, UTF-8
    std::string bytes;     // the literal as compiled
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes of a run of adjacent C string literals ("ab" "\x83" ...).
std::optional<std::string> DecodeLiterals(const std::string& code) {
    std::string out;
    size_t i = 0;
    while (i < code.size()) {
        if (code[i] != '"') {
            ++i;
            continue;
        }
        for (++i; i < code.size() && code[i] != '"'; ++i) {
            if (code[i] != '\\') {
                out += code[i];
                continue;
            }
            if (++i >= code.size()) return std::nullopt;
            switch (code[i]) {
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case '0': out += '\0'; break;
                case '\\': out += '\\'; break;
                case '"': out += '"'; break;
                case '\'': out += '\''; break;
                case 'x': {
                    int value = 0;
                    int digits = 0;
                    while (i + 1 < code.size() && HexValue(code[i + 1]) >= 0) {
                        value = value * 16 + HexValue(code[++i]);
                        ++digits;
                    }
                    if (digits == 0 || value > 0xFF) return std::nullopt;
                    out += static_cast<char>(value);
                    break;
                }
                default: return std::nullopt;
            }
        }
        ++i;  // the closing quote
    }
    return out;
}

// The readable form as the comment writes it: control characters as \n, \r
// and \t; a comment that quotes the text ("...": why) gives the quoted part.
std::string ReadableBytes(std::string comment) {
    if (comment.size() >= 2 && comment[0] == '"') {
        const size_t close = comment.find("\":");
        if (close != std::string::npos) comment = comment.substr(1, close - 1);
    }
    std::string out;
    for (size_t i = 0; i < comment.size(); ++i) {
        if (comment[i] == '\\' && i + 1 < comment.size()) {
            const char next = comment[i + 1];
            if (next == 'n' || next == 'r' || next == 't') {
                out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\t';
                ++i;
                continue;
            }
        }
        out += comment[i];
    }
    return out;
}

bool HasHighByte(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return true;
    }
    return false;
}

std::vector<TextConstant> ConstantsOf(const fs::path& file, const std::string& place_prefix) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);

    static const std::regex kDefinition(R"(^\s*(inline\s+)?(static\s+)?constexpr\s+char\s+k\w+\[\]\s*=\s*(.*)$)");
    std::vector<TextConstant> found;
    for (size_t n = 0; n < lines.size(); ++n) {
        std::smatch match;
        if (!std::regex_match(lines[n], match, kDefinition)) continue;
        std::string code = match[3];
        size_t last = n;
        while (code.find(';') == std::string::npos && last + 1 < lines.size()) code += lines[++last];
        code = code.substr(0, code.find(';'));
        TextConstant constant;
        constant.place = place_prefix + ":" + std::to_string(n + 1);
        const auto bytes = DecodeLiterals(code);
        if (!bytes) {
            constant.bytes = "(undecodable literal)";
        } else if (!HasHighByte(*bytes)) {
            continue;
        } else {
            constant.bytes = *bytes;
        }
        if (n > 0) {
            const std::string& above = lines[n - 1];
            const size_t slashes = above.find("// ");
            if (slashes != std::string::npos && above.find_first_not_of(" \t") == slashes) {
                constant.readable = above.substr(slashes + 3);
            }
        }
        found.push_back(constant);
        n = last;
    }
    return found;
}

std::vector<TextConstant> AllConstants() {
    const fs::path root = testing::SourceDir();
    std::vector<TextConstant> all;
    for (const char* top : {"platform", "lib", "game", "app", "tools"}) {
        const fs::path dir = fs::path(root) / top;
        if (!fs::exists(dir)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            const auto ext = entry.path().extension();
            if (ext != ".h" && ext != ".cpp") continue;
            auto found = ConstantsOf(entry.path(), fs::relative(entry.path(), root).string());
            all.insert(all.end(), found.begin(), found.end());
        }
    }
    return all;
}

TEST(ShiftJisTexts, EveryConstantMatchesTheReadableFormAboveIt) {
    const auto constants = AllConstants();
    ASSERT_GT(constants.size(), 100u) << "the sources' text constants were not found";
    for (const auto& constant : constants) {
        if (constant.readable.empty()) {
            ADD_FAILURE() << constant.place << ": a Shift-JIS text with no readable form in the comment above";
            continue;
        }
        const auto expected = platform::Utf8ToShiftJisExact(ReadableBytes(constant.readable));
        if (!expected) {
            ADD_FAILURE() << constant.place << ": the readable form is not representable in Shift-JIS";
        } else if (*expected != constant.bytes) {
            ADD_FAILURE() << constant.place << ": the bytes say \"" << platform::ShiftJisToUtf8(constant.bytes)
                          << "\" but the comment says \"" << constant.readable << "\"";
        }
    }
}

TEST(ShiftJisTexts, LiteralDecodingFollowsTheLanguage) {
    // "\x83" "E" must stay two bytes: a hex escape ends at the literal's end.
    EXPECT_EQ(DecodeLiterals(R"("\x83" "E\x82\xA0\n")"), std::string("\x83" "E\x82\xA0\n"));
    EXPECT_EQ(ReadableBytes(R"("ＭＳ": the face)"), "ＭＳ");
    EXPECT_EQ(ReadableBytes(R"(a\r\nb)"), "a\r\nb");
}

}  // namespace
}  // namespace velk
