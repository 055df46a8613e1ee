#include "tools/gamedata/description_parser.h"

#include <charconv>
#include <limits>
#include <vector>

#include "tools/gamedata/common_event_description.h"
#include "tools/gamedata/description_section.h"
#include "tools/gamedata/map_description_parser.h"

namespace velk::gamedata {
namespace {

constexpr int32_t kMaxBlankRows = 1000000;

class DescriptionReader {
public:
    void Statement(const std::vector<Token>& tokens);
    GameDescription& Result() { return game_; }

private:
    enum class Section { kNone, kGame, kSettingsFile, kDatabase, kMaps, kCommonEvents, kExtra };

    void GameStatement(const std::vector<Token>& tokens);
    void SettingsStatement(const std::vector<Token>& tokens);
    void DatabaseStatement(const std::vector<Token>& tokens);
    void TypeStatement(const std::vector<Token>& tokens);
    void ItemStatement(const std::vector<Token>& tokens);
    void DataStatement(const std::vector<Token>& tokens);
    DatabaseTypeDescription& CurrentType() {
        if (!type_) throw DescriptionError("'type' must come first");
        return *type_;
    }
    DatabaseItemDescription& LastItem() {
        if (CurrentType().items.empty()) throw DescriptionError("no item to add a list to");
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
            throw DescriptionError(failure.message);
        }
    }

    void CommonEventStatement(const std::vector<Token>& tokens) {
        std::vector<DescriptionWord> words;
        for (const Token& token : tokens) words.push_back({token.text, token.quoted});
        try {
            commonEvents_.Statement(words);
        } catch (const MapDescriptionError& failure) {
            throw DescriptionError(failure.message);
        }
    }

    GameDescription game_;
    MapSectionReader maps_{game_};
    CommonEventSection commonEvents_{game_};
    Section section_ = Section::kNone;
    DatabaseDescription* database_ = nullptr;
    DatabaseTypeDescription* type_ = nullptr;
    std::unique_ptr<DescriptionSection> extra_;
};

void DescriptionReader::Statement(const std::vector<Token>& tokens) {
    const std::string& word = tokens[0].text;
    for (const SectionEntry& entry : ExtraSections()) {
        if (word == entry.word) {
            extra_ = entry.make();
            extra_->Open(tokens, game_);
            section_ = Section::kExtra;
            return;
        }
    }
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
            throw DescriptionError("a database is system, user or changeable");
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
    } else if (section_ == Section::kExtra) {
        extra_->Statement(tokens, game_);
    } else {
        throw DescriptionError("'" + word + "' outside game, settings-file or database");
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
        throw DescriptionError("unknown game statement '" + word + "'");
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
        throw DescriptionError("unknown settings-file key '" + key + "'");
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
        throw DescriptionError("unknown database statement '" + word + "'");
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
        throw DescriptionError("an item is number, string or kind <n>");
    }
    for (; next < tokens.size(); next += 2) {
        if (next + 1 >= tokens.size()) throw DescriptionError("'" + tokens[next].text + "' needs a value");
        const std::string& option = tokens[next].text;
        const Token& value = tokens[next + 1];
        if (option == "default") {
            item->defaultValue = Int32(value);
        } else if (option == "flag") {
            item->flag = Byte(value);
        } else if (option == "text") {
            item->text = value.text;
        } else {
            throw DescriptionError("unknown item option '" + option + "'");
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
    if (next < tokens.size()) throw DescriptionError("more values than the type has items");
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
        } catch (const DescriptionError& failure) {
            if (error) *error = "line " + std::to_string(lineNumber) + ": " + failure.message();
            return std::nullopt;
        }
        start = end + 1;
    }
    return std::move(reader.Result());
}

}  // namespace velk::gamedata
