#include "tools/gamedata/description_parser.h"

#include <charconv>
#include <limits>
#include <vector>

#include "platform/base/text_encoding.h"
#include "tools/gamedata/common_event_description.h"
#include "tools/gamedata/map_description_parser.h"

namespace velk::gamedata {
namespace {

constexpr int32_t kMaxBlankRows = 1000000;

struct Token {
    std::string text;  // Shift-JIS
    bool quoted = false;
};

class LineError {
public:
    explicit LineError(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

std::string ToShiftJis(std::string_view utf8) {
    auto converted = platform::Utf8ToShiftJisExact(utf8);
    if (!converted) throw LineError("text cannot be written in Shift-JIS: " + std::string(utf8));
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
        if (at >= line.size()) throw LineError("a quoted text is not closed");
        char c = line[at++];
        if (c == '"') break;
        if (c != '\\') {
            pending.push_back(c);
            continue;
        }
        if (at >= line.size()) throw LineError("a quoted text ends in a backslash");
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
                if (high < 0 || low < 0) throw LineError("\\x needs two hexadecimal digits");
                flush();
                token.text.push_back(static_cast<char>(high * 16 + low));
                at += 2;
                break;
            }
            default: throw LineError(std::string("unknown escape \\") + escape);
        }
    }
    flush();
    return token;
}

std::vector<Token> Tokenize(std::string_view line) {
    std::vector<Token> tokens;
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
    if (token.quoted || failure != std::errc() || end != last) throw LineError("not a number: " + token.text);
    if (value < low || value > high) throw LineError("number out of range: " + token.text);
    return value;
}

int32_t Int32(const Token& token) {
    return static_cast<int32_t>(
        ParseInteger(token, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
uint8_t Byte(const Token& token) { return static_cast<uint8_t>(ParseInteger(token, 0, 255)); }
uint16_t Word(const Token& token) { return static_cast<uint16_t>(ParseInteger(token, 0, 65535)); }
size_t Index(const Token& token, size_t limit) { return static_cast<size_t>(ParseInteger(token, 0, limit)); }

class DescriptionReader {
public:
    void Statement(const std::vector<Token>& tokens);
    GameDescription& Result() { return game_; }

private:
    enum class Section { kNone, kGame, kSettingsFile, kDatabase, kMaps, kCommonEvents };

    void Expect(const std::vector<Token>& tokens, size_t count) const {
        if (tokens.size() != count) throw LineError("'" + tokens[0].text + "' takes " + std::to_string(count - 1) + " value(s)");
    }
    void AtLeast(const std::vector<Token>& tokens, size_t count) const {
        if (tokens.size() < count) throw LineError("'" + tokens[0].text + "' needs more values");
    }
    void GameStatement(const std::vector<Token>& tokens);
    void SettingsStatement(const std::vector<Token>& tokens);
    void DatabaseStatement(const std::vector<Token>& tokens);
    void TypeStatement(const std::vector<Token>& tokens);
    void ItemStatement(const std::vector<Token>& tokens);
    void DataStatement(const std::vector<Token>& tokens);
    DatabaseTypeDescription& CurrentType() {
        if (!type_) throw LineError("'type' must come first");
        return *type_;
    }
    DatabaseItemDescription& LastItem() {
        if (CurrentType().items.empty()) throw LineError("no item to add a list to");
        return type_->items.back();
    }
    ContainerSeeds Seeds(const std::vector<Token>& tokens) {
        Expect(tokens, 4);
        return {Byte(tokens[1]), Byte(tokens[2]), Byte(tokens[3])};
    }

    void MapStatement(const std::vector<Token>& tokens) {
        std::vector<DescriptionWord> words;
        for (const Token& token : tokens) words.push_back({token.text, token.quoted});
        try {
            maps_.Statement(words);
        } catch (const MapDescriptionError& failure) {
            throw LineError(failure.message);
        }
    }

    void CommonEventStatement(const std::vector<Token>& tokens) {
        std::vector<DescriptionWord> words;
        for (const Token& token : tokens) words.push_back({token.text, token.quoted});
        try {
            commonEvents_.Statement(words);
        } catch (const MapDescriptionError& failure) {
            throw LineError(failure.message);
        }
    }

    GameDescription game_;
    MapSectionReader maps_{game_};
    CommonEventSection commonEvents_{game_};
    Section section_ = Section::kNone;
    DatabaseDescription* database_ = nullptr;
    DatabaseTypeDescription* type_ = nullptr;
};

void DescriptionReader::Statement(const std::vector<Token>& tokens) {
    const std::string& word = tokens[0].text;
    if (word == "game") {
        Expect(tokens, 1);
        section_ = Section::kGame;
    } else if (word == "settings-file") {
        Expect(tokens, 1);
        section_ = Section::kSettingsFile;
    } else if (word == "database") {
        Expect(tokens, 2);
        const std::string& which = tokens[1].text;
        if (which == "system") {
            database_ = &game_.systemDatabase;
        } else if (which == "user") {
            database_ = &game_.userDatabase;
        } else if (which == "changeable") {
            database_ = &game_.changeableDatabase;
        } else {
            throw LineError("a database is system, user or changeable");
        }
        type_ = nullptr;
        section_ = Section::kDatabase;
    } else if (MapSectionReader::OpensSection(word)) {
        section_ = Section::kMaps;
        MapStatement(tokens);
    } else if (CommonEventSection::Opens(word)) {
        section_ = Section::kCommonEvents;
        CommonEventStatement(tokens);
    } else if (section_ == Section::kMaps) {
        MapStatement(tokens);
    } else if (section_ == Section::kCommonEvents) {
        CommonEventStatement(tokens);
    } else if (section_ == Section::kGame) {
        GameStatement(tokens);
    } else if (section_ == Section::kSettingsFile) {
        SettingsStatement(tokens);
    } else if (section_ == Section::kDatabase) {
        DatabaseStatement(tokens);
    } else {
        throw LineError("'" + word + "' outside game, settings-file or database");
    }
}

void DescriptionReader::GameStatement(const std::vector<Token>& tokens) {
    GameDatDescription& dat = game_.gameDat;
    const std::string& word = tokens[0].text;
    if (word == "title") {
        Expect(tokens, 2);
        dat.texts.at(0) = tokens[1].text;
    } else if (word == "text") {
        Expect(tokens, 3);
        size_t index = Index(tokens[1], 255);
        if (dat.texts.size() <= index) dat.texts.resize(index + 1);
        dat.texts[index] = tokens[2].text;
    } else if (word == "setting") {
        Expect(tokens, 3);
        size_t index = Index(tokens[1], 255);
        if (dat.settings.size() <= index) dat.settings.resize(index + 1, 0);
        dat.settings[index] = Byte(tokens[2]);
    } else if (word == "settings") {
        dat.settings.clear();
        for (size_t i = 1; i < tokens.size(); ++i) dat.settings.push_back(Byte(tokens[i]));
    } else if (word == "archive-key") {
        Expect(tokens, 2);
        dat.archiveKey = tokens[1].text;
    } else if (word == "numbers") {
        dat.numbers.clear();
        for (size_t i = 1; i < tokens.size(); ++i) dat.numbers.push_back(Word(tokens[i]));
    } else if (word == "seeds") {
        dat.seeds = Seeds(tokens);
    } else if (word == "end-byte") {
        Expect(tokens, 2);
        dat.endByte = Byte(tokens[1]);
    } else if (word == "layout-seed") {
        Expect(tokens, 2);
        dat.layoutSeed = static_cast<uint32_t>(ParseInteger(tokens[1], 0, UINT32_MAX));
    } else {
        throw LineError("unknown game statement '" + word + "'");
    }
}

void DescriptionReader::SettingsStatement(const std::vector<Token>& tokens) {
    Expect(tokens, 2);
    PlayerSettings& settings = game_.settings;
    const std::string& key = tokens[0].text;
    if (key == "Start") {
        settings.start = Int32(tokens[1]);
    } else if (key == "SoftModeFlag") {
        settings.softModeFlag = Int32(tokens[1]);
    } else if (key == "WindowModeFlag") {
        settings.windowModeFlag = Int32(tokens[1]);
    } else if (key == "SEandBGM") {
        settings.seAndBgm = Int32(tokens[1]);
    } else if (key == "FrameSkip") {
        settings.frameSkip = Int32(tokens[1]);
    } else if (key == "ScreenShotFlag") {
        settings.screenShotFlag = Int32(tokens[1]);
    } else if (key == "Proxy") {
        settings.proxy = tokens[1].text;
    } else if (key == "ProxyPort") {
        settings.proxyPort = tokens[1].text;
    } else {
        throw LineError("unknown settings-file key '" + key + "'");
    }
}

void DescriptionReader::DatabaseStatement(const std::vector<Token>& tokens) {
    const std::string& word = tokens[0].text;
    if (word == "version") {
        Expect(tokens, 2);
        database_->version = Byte(tokens[1]);
    } else if (word == "closing") {
        Expect(tokens, 2);
        database_->closingVersion = Byte(tokens[1]);
    } else if (word == "seeds") {
        database_->seeds = Seeds(tokens);
    } else if (word == "layout-seed") {
        Expect(tokens, 2);
        database_->layoutSeed = static_cast<uint32_t>(ParseInteger(tokens[1], 0, UINT32_MAX));
    } else if (word == "type") {
        Expect(tokens, 2);
        type_ = &database_->types.emplace_back();
        type_->name = tokens[1].text;
    } else {
        TypeStatement(tokens);
    }
}

void DescriptionReader::TypeStatement(const std::vector<Token>& tokens) {
    DatabaseTypeDescription& type = CurrentType();
    const std::string& word = tokens[0].text;
    if (word == "memo") {
        Expect(tokens, 2);
        type.memo = tokens[1].text;
    } else if (word == "marker") {
        Expect(tokens, 2);
        if (tokens[1].text == "none") {
            type.marker.reset();
        } else {
            type.marker = static_cast<int32_t>(ParseInteger(tokens[1], std::numeric_limits<int32_t>::min(), -1));
        }
    } else if (word == "source") {
        Expect(tokens, 2);
        type.dataNameSource = Int32(tokens[1]);
    } else if (word == "item") {
        ItemStatement(tokens);
    } else if (word == "string-list") {
        DatabaseItemDescription& item = LastItem();
        for (size_t i = 1; i < tokens.size(); ++i) item.stringList.push_back(tokens[i].text);
    } else if (word == "number-list") {
        DatabaseItemDescription& item = LastItem();
        for (size_t i = 1; i < tokens.size(); ++i) item.numberList.push_back(Int32(tokens[i]));
    } else if (word == "data") {
        DataStatement(tokens);
    } else if (word == "rows") {
        Expect(tokens, 2);
        int64_t count = ParseInteger(tokens[1], 0, kMaxBlankRows);
        for (int64_t i = 0; i < count; ++i) AddRow(type, "");
    } else if (word == "data-names") {
        type.dataNames.emplace();
        for (size_t i = 1; i < tokens.size(); ++i) type.dataNames->push_back(tokens[i].text);
    } else {
        throw LineError("unknown database statement '" + word + "'");
    }
}

void DescriptionReader::ItemStatement(const std::vector<Token>& tokens) {
    DatabaseTypeDescription& type = CurrentType();
    AtLeast(tokens, 3);
    const std::string& kind = tokens[1].text;
    size_t next = 3;
    DatabaseItemDescription* item = nullptr;
    if (kind == "number") {
        item = &AddNumberItem(type, tokens[2].text);
    } else if (kind == "string") {
        item = &AddStringItem(type, tokens[2].text);
    } else if (kind == "kind") {
        AtLeast(tokens, 4);
        item = &type.items.emplace_back();
        item->kind = Int32(tokens[2]);
        item->name = tokens[3].text;
        next = 4;
    } else {
        throw LineError("an item is number, string or kind <n>");
    }
    for (; next < tokens.size(); next += 2) {
        if (next + 1 >= tokens.size()) throw LineError("'" + tokens[next].text + "' needs a value");
        const std::string& option = tokens[next].text;
        const Token& value = tokens[next + 1];
        if (option == "default") {
            item->defaultValue = Int32(value);
        } else if (option == "flag") {
            item->flag = Byte(value);
        } else if (option == "text") {
            item->text = value.text;
        } else {
            throw LineError("unknown item option '" + option + "'");
        }
    }
}

void DescriptionReader::DataStatement(const std::vector<Token>& tokens) {
    DatabaseTypeDescription& type = CurrentType();
    AtLeast(tokens, 2);
    std::vector<int32_t> numbers;
    std::vector<std::string> strings;
    size_t next = 2;
    for (const DatabaseItemDescription& item : type.items) {
        if (next >= tokens.size()) break;
        if (item.kind / 1000 == 1) {
            numbers.push_back(Int32(tokens[next++]));
        } else if (item.kind / 1000 == 2) {
            strings.push_back(tokens[next++].text);
        }
    }
    if (next < tokens.size()) throw LineError("more values than the type has items");
    AddRow(type, tokens[1].text, numbers, strings);
}

}  // namespace

std::optional<GameDescription> ParseGameDescription(std::string_view text, std::string* error) {
    DescriptionReader reader;
    int lineNumber = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        ++lineNumber;
        try {
            std::vector<Token> tokens = Tokenize(line);
            if (!tokens.empty()) reader.Statement(tokens);
        } catch (const LineError& failure) {
            if (error) *error = "line " + std::to_string(lineNumber) + ": " + failure.message();
            return std::nullopt;
        }
        start = end + 1;
    }
    return std::move(reader.Result());
}

}  // namespace velk::gamedata
