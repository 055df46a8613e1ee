#include "tools/gamedata/common_event_description.h"

#include <charconv>
#include <limits>

namespace velk::gamedata {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw MapDescriptionError{message}; }

int64_t Number(const DescriptionWord& word, int64_t low, int64_t high) {
    std::string_view text = word.text;
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    int64_t value = 0;
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (word.quoted || text.empty() || failure != std::errc() || end != text.data() + text.size()) {
        Fail("not a number: " + word.text);
    }
    if (negative) value = -value;
    if (value < low || value > high) Fail("number out of range: " + word.text);
    return value;
}

int32_t Int32(const DescriptionWord& word) {
    // Raw argument words may be written as unsigned 32-bit hexadecimal.
    const int64_t value = Number(word, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max());
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

uint8_t Byte(const DescriptionWord& word) { return static_cast<uint8_t>(Number(word, 0, 255)); }

void Expect(const std::vector<DescriptionWord>& words, size_t count) {
    if (words.size() != count) {
        Fail("'" + words[0].text + "' takes " + std::to_string(count - 1) + " value(s)");
    }
}

std::vector<std::string> Texts(const std::vector<DescriptionWord>& words) {
    std::vector<std::string> texts;
    for (size_t i = 1; i < words.size(); ++i)
        texts.push_back(words[i].text);
    return texts;
}

std::vector<int32_t> Ints(const std::vector<DescriptionWord>& words) {
    std::vector<int32_t> values;
    for (size_t i = 1; i < words.size(); ++i)
        values.push_back(Int32(words[i]));
    return values;
}

std::vector<uint8_t> Bytes(const std::vector<DescriptionWord>& words) {
    std::vector<uint8_t> values;
    for (size_t i = 1; i < words.size(); ++i)
        values.push_back(Byte(words[i]));
    return values;
}

}  // namespace

CommonEventDescription& CommonEventSection::CurrentEvent() {
    if (!events_ || events_->empty()) Fail("'event' must come first");
    return events_->back();
}

void CommonEventSection::Statement(const std::vector<DescriptionWord>& words) {
    const std::string& word = words[0].text;
    if (word == "common-events") {
        Expect(words, 1);
        dataFile_ = &game_.commonEvents;
        commonFile_ = nullptr;
        events_ = &dataFile_->events;
    } else if (word == "common-file") {
        Expect(words, 2);
        commonFile_ = &game_.commonFiles.emplace_back();
        commonFile_->path = words[1].text;
        dataFile_ = nullptr;
        events_ = &commonFile_->events;
    } else if (word == "event") {
        Expect(words, 2);
        events_->emplace_back().name = words[1].text;
        stringListsGiven_ = intListsGiven_ = false;
    } else if (dataFile_ && word == "seeds") {
        Expect(words, 4);
        dataFile_->seeds = {Byte(words[1]), Byte(words[2]), Byte(words[3])};
    } else if (dataFile_ && word == "layout-seed") {
        Expect(words, 2);
        dataFile_->layoutSeed = static_cast<uint32_t>(Number(words[1], 0, std::numeric_limits<uint32_t>::max()));
    } else if (dataFile_ && word == "version") {
        Expect(words, 2);
        dataFile_->version = Byte(words[1]);
    } else if (dataFile_ && word == "end-marker") {
        Expect(words, 2);
        dataFile_->endMarker = Byte(words[1]);
    } else if (commonFile_ && word == "magic") {
        Expect(words, 2);
        commonFile_->magic = static_cast<uint32_t>(Int32(words[1]));
    } else {
        EventStatement(words);
    }
}

void CommonEventSection::EventStatement(const std::vector<DescriptionWord>& words) {
    CommonEventDescription& event = CurrentEvent();
    const std::string& word = words[0].text;
    if (word == "trigger") {
        Expect(words, 2);
        event.trigger = Byte(words[1]);
    } else if (word == "condition") {
        Expect(words, 3);
        event.conditionVariable = Int32(words[1]);
        event.conditionValue = Int32(words[2]);
    } else if (word == "options") {
        Expect(words, 3);
        event.option0 = Byte(words[1]);
        event.option1 = Byte(words[2]);
    } else if (word == "lead") {
        Expect(words, 2);
        event.lead = Byte(words[1]);
    } else if (word == "id") {
        Expect(words, 2);
        event.storedId = Int32(words[1]);
    } else if (word == "command") {
        event.commands.push_back(ParseDescribedCommand(words));
    } else if (word == "no-end") {
        Expect(words, 1);
        event.appendEnd = false;
    } else if (word == "bytes") {
        event.extraBytes = Bytes(words);
    } else if (word == "note") {
        Expect(words, 2);
        event.note = words[1].text;
    } else if (word == "record-version") {
        Expect(words, 2);
        event.version = Byte(words[1]);
    } else if (word == "end-byte") {
        Expect(words, 2);
        event.endByte = Byte(words[1]);
    } else if (word == "arg-strings") {
        event.argStrings = Texts(words);
    } else if (word == "arg-bytes") {
        event.argBytes = Bytes(words);
    } else if (word == "arg-ints") {
        event.argInts = Ints(words);
    } else if (word == "arg-string-list") {
        if (!stringListsGiven_) event.argStringLists.clear();
        stringListsGiven_ = true;
        event.argStringLists.push_back(Texts(words));
    } else if (word == "arg-int-list") {
        if (!intListsGiven_) event.argIntLists.clear();
        intListsGiven_ = true;
        event.argIntLists.push_back(Ints(words));
    } else {
        Fail("unknown common-event statement '" + word + "'");
    }
}

}  // namespace velk::gamedata
