#pragma once
// The words of one description line and the checks every section uses to
// read them. A section throws DescriptionError with what is wrong; the
// parser adds the line number.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk::gamedata {

struct Token {
    std::string text;  // Shift-JIS
    bool quoted = false;
};
using Tokens = std::vector<Token>;

class DescriptionError {
public:
    explicit DescriptionError(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

// Splits a UTF-8 line into words ("quoted" texts with \" \\ \n \r \t \xNN,
// or bare words), converted to Shift-JIS; a '#' where a word may start ends
// the line.
Tokens Tokenize(std::string_view line);

int64_t ParseInteger(const Token& token, int64_t low, int64_t high);
int32_t Int32(const Token& token);
uint8_t Byte(const Token& token);
uint16_t Word(const Token& token);
size_t Index(const Token& token, size_t limit);

// The line has exactly `count` words (the statement's own word included),
// or at least `count`.
void Expect(const Tokens& tokens, size_t count);
void AtLeast(const Tokens& tokens, size_t count);

}  // namespace velk::gamedata
