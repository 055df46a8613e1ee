#include "game/event/main_event_interpreter.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "game/data/game_info.h"
#include "game/data/random_source.h"
#include "game/data/save_stream.h"

namespace velk {
namespace {

// Texts of this part are kept below these sizes (the limits stored games
// were written with).
constexpr size_t kSavedTextLimit = 1023;
constexpr size_t kNameLimit = 512;
// Save versions at which fields joined the part.
constexpr uint16_t kDroppedValueBefore = 97;
constexpr uint16_t kSinceSecondSceneValues = 98;
constexpr uint16_t kSinceTransition = 100;
constexpr uint16_t kSinceKeys = 101;
constexpr uint16_t kSinceSysVar37 = 102;
constexpr uint16_t kSinceFirstTexts = 103;
constexpr uint16_t kSinceSysVar28 = 104;
constexpr uint16_t kSinceBaseVolumes = 106;
constexpr uint16_t kSinceSecondTexts = 108;
constexpr uint16_t kSinceThirdTexts = 109;
constexpr uint16_t kSinceLastFlag = 110;
// Music and sound numbers among the last ten rows of their type (the rows
// added at start-up) are saved as this.
constexpr int32_t kSpareSoundRows = 10;
constexpr int32_t kSpareSoundSaved = -3;

// Cut at `limit` bytes, never between the two bytes of a character.
std::string_view Cut(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t length = limit;
    if (GetSjisByteClass(text, static_cast<int>(length - 1)) == 1) --length;
    return std::string_view(text).substr(0, length);
}

class PartReader {
public:
    explicit PartReader(SaveStream& stream) : stream_(stream) {}

    bool U8(uint8_t& field) { return Take(stream_.ReadU8(), field); }
    bool I32(int32_t& field) { return Take(stream_.ReadI32(), field); }
    bool I16(int16_t& field) {
        auto value = stream_.ReadU16();
        if (!value) return false;
        field = static_cast<int16_t>(*value);
        return true;
    }
    bool F32(float& field) {
        auto value = stream_.ReadU32();
        if (!value) return false;
        field = std::bit_cast<float>(*value);
        return true;
    }
    bool Text(std::string& field) { return Take(stream_.ReadShortString(), field); }
    template <typename... Fields>
    bool I32s(Fields&... fields) {
        return (I32(fields) && ...);
    }
    template <typename... Fields>
    bool I16s(Fields&... fields) {
        return (I16(fields) && ...);
    }
    // A count of values at least `size` bytes each that the stream can hold.
    bool Count(uint32_t& count, size_t size) {
        auto value = stream_.ReadU32();
        if (!value || !stream_.CanHold(*value, size)) return false;
        count = *value;
        return true;
    }
    bool Bytes(size_t count, std::string& into) {
        std::string bytes;
        bytes.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            auto byte = stream_.ReadU8();
            if (!byte) return false;
            bytes.push_back(static_cast<char>(*byte));
        }
        into = std::move(bytes);
        return true;
    }

private:
    template <typename Value, typename Field>
    static bool Take(const std::optional<Value>& value, Field& field) {
        if (!value) return false;
        field = *value;
        return true;
    }

    SaveStream& stream_;
};

// A fade's frame counters are 16 bits; a longer fade runs as long as they
// can count, and the count is taken in 64 bits so the largest value cannot
// overflow.
int16_t FadeFrames(int32_t frames) {
    return static_cast<int16_t>(std::clamp<int64_t>(int64_t{frames} + 1, INT16_MIN, INT16_MAX));
}

}  // namespace

MainEventInterpreter::MainEventInterpreter() : MainEventInterpreter(GlobalGameInfo().ChipSize()) {}

MainEventInterpreter::MainEventInterpreter(int chipSize) {
    Init(0, true);
    CollectAutoStartCommons();
    SetTileSizeDefaults(chipSize);
}

void MainEventInterpreter::CollectAutoStartCommons() {
    autoStartCommons.clear();
    CommonEventLink& commons = *ActiveEventLinks().commonEvents;
    for (int32_t index = 0, count = commons.Count(); index < count; ++index) {
        auto common = commons.Get(index);
        if (common && (common->trigger & 0x0F) == 1) autoStartCommons.push_back(std::move(*common));
    }
}

void MainEventInterpreter::SetTileSizeDefaults(int chipSize) { systemVariables.SetTileSizeDefaults(chipSize); }

void MainEventInterpreter::StartTone(int16_t c0, int16_t c1, int16_t c2, int32_t frames) {
    tone.start = tone.current;
    tone.target = {c0, c1, c2};
    tone.remaining = tone.total = FadeFrames(frames);
}

void MainEventInterpreter::StartFlash(int16_t c0, int16_t c1, int16_t c2, int32_t frames) {
    flash.color = {c0, c1, c2};
    flash.remaining = flash.total = FadeFrames(frames);
}

void MainEventInterpreter::UpdateTint(int frameStep) {
    if (tone.remaining > -1) {
        // A tone without a length (an old save, a damaged one) lands at once
        // instead of dividing by nothing.
        if (tone.total <= 0) tone.remaining = 0;
        for (size_t c = 0; c < tone.current.size(); ++c) {
            const int32_t target = tone.target[c];
            tone.current[c] = static_cast<int16_t>(
                tone.total <= 0 ? target : target + (tone.start[c] - target) * tone.remaining / tone.total);
        }
        if (tone.remaining != 0) {
            tone.remaining = static_cast<int16_t>(tone.remaining - frameStep >= 1 ? tone.remaining - frameStep : 0);
        } else {
            tone.remaining = -1;
        }
    }
    if (flash.remaining > 0) flash.remaining = static_cast<int16_t>(flash.remaining - frameStep);
}

void MainEventInterpreter::StartNextEvent() {
    EventLinks& links = ActiveEventLinks();
    links.map->RefreshPagesIfMarked();
    const int32_t reserved = links.system->ReservedCommonEvent();
    if (reserved < 0) {
        if (auto started = links.map->TakeStartingEvent()) {
            ownList = std::move(started->commands);
            Setup(ownList, started->eventId, -1);
            return;
        }
        for (const CommonEventStart& common : autoStartCommons) {
            if (CommonEventConditionHolds(common.trigger, common.conditionVariable, common.conditionValue,
                                          *links.variables)) {
                ownList = common.commands;
                Setup(ownList, -1, common.id);
                return;
            }
        }
        return;
    }
    // A reservation of a common event the list does not hold starts nothing.
    links.system->SetReservedCommonEvent(-1);
    auto common = links.commonEvents->Get(reserved);
    if (!common || !common->commands) return;
    ownList = std::move(common->commands);
    Setup(ownList, eventId, reserved);
}

void MainEventInterpreter::WriteSave(SaveStream& stream, int32_t musicRows, int32_t soundRows) const {
    ByteWriter& out = stream.Writer();
    const SystemVariableBlock& v = systemVariables;
    auto i32s = [&](std::initializer_list<int32_t> values) {
        for (int32_t value : values)
            out.WriteI32(value);
    };
    auto i16s = [&](std::initializer_list<int16_t> values) {
        for (int16_t value : values)
            out.WriteU16(static_cast<uint16_t>(value));
    };
    auto text = [&](const std::string& value) { out.WriteShortString(Cut(value, kSavedTextLimit)); };
    auto bounded = [](int32_t number, int32_t rows) {
        return number >= rows - kSpareSoundRows ? kSpareSoundSaved : number;
    };
    out.WriteU8(gameFlag0);
    out.WriteU8(gameFlag1);
    i32s({v.sysVar29, savedInt0, bounded(currentBgm, musicRows), bounded(currentBgs, soundRows)});
    out.WriteU32(std::bit_cast<uint32_t>(floatValue));
    i32s({sysVar33, v.sysVar0, v.sysVar1, v.sysVar2, v.sysVar3, v.sysVar4, v.sysVar17, v.sysVar18, v.sysVar19,
          v.sysVar7});
    for (const auto* part : {&tone.current, &tone.target, &tone.start}) {
        for (int16_t component : *part)
            i16s({component});
    }
    i16s({tone.remaining, tone.total, flash.color[0], flash.color[1], flash.color[2], flash.remaining, flash.total});
    i32s({v.sysVar8, v.sysVar66, v.sysVar67, v.sysVar68, v.sysVar61, v.sysVar62, v.sysVar63, v.sysVar64, v.sysVar65});
    out.WriteU8(savedFlag0);
    i16s({v.sysVar36});
    i32s({v.sysVar15, v.sysVar16});
    i16s({v.sysVar5, v.sysVar6, v.sysVar40, v.sysVar41});
    i32s({v.sysVar9, v.sysVar11, v.sysVar10});
    out.WriteU8(v.sysVar14);
    i32s({savedInt1, v.sysVar21, v.sysVar73, transitionGraphic, transitionFrames});
    out.WriteU8(transitionWait);
    out.WriteU32(static_cast<uint32_t>(nameList.size()));
    for (const std::string& name : nameList) {
        const std::string_view stored = Cut(name, kNameLimit);
        out.WriteU32(static_cast<uint32_t>(stored.size()));
        out.WriteBytes({reinterpret_cast<const uint8_t*>(stored.data()), stored.size()});
    }
    out.WriteU32(static_cast<uint32_t>(v.slotValues.size()));
    for (int32_t value : v.slotValues)
        out.WriteI32(value);
    i32s({v.sysVar22, savedInt6, savedInt7, v.sysVar59, v.sysVar60});
    for (size_t button = 0; button < keyConfig.keyboard.size(); ++button)
        i32s({keyConfig.keyboard[button], keyConfig.padMask[button]});
    i16s({v.sysVar37});
    text(savedText0);
    text(savedText1);
    i32s({v.sysVar28, v.sysVar100, v.sysVar101, v.sysVar102});
    text(savedText2);
    i32s({savedInt8, savedInt9, savedInt10});
    text(savedText3);
    i32s({savedInt11, savedInt12, savedInt13});
    text(savedText4);
    text(savedText5);
    out.WriteU8(savedFlag2);
    out.WriteU8(savedFlag3);
}

bool MainEventInterpreter::ReadSave(SaveStream& stream) {
    PartReader in(stream);
    SystemVariableBlock& v = systemVariables;
    const uint16_t version = stream.version;
    bool read = in.U8(gameFlag0) && in.U8(gameFlag1) && in.I32s(v.sysVar29, savedInt0, currentBgm, currentBgs) &&
                in.F32(floatValue) &&
                in.I32s(sysVar33, v.sysVar0, v.sysVar1, v.sysVar2, v.sysVar3, v.sysVar4, v.sysVar17, v.sysVar18,
                        v.sysVar19, v.sysVar7);
    for (auto* part : {&tone.current, &tone.target, &tone.start}) {
        for (int16_t& component : *part)
            read = read && in.I16(component);
    }
    read = read &&
           in.I16s(tone.remaining, tone.total, flash.color[0], flash.color[1], flash.color[2], flash.remaining,
                   flash.total) &&
           in.I32s(v.sysVar8, v.sysVar66, v.sysVar67, v.sysVar68, v.sysVar61, v.sysVar62, v.sysVar63, v.sysVar64,
                   v.sysVar65) &&
           in.U8(savedFlag0) && in.I16(v.sysVar36) && in.I32s(v.sysVar15, v.sysVar16) &&
           in.I16s(v.sysVar5, v.sysVar6, v.sysVar40, v.sysVar41) && in.I32s(v.sysVar9, v.sysVar11, v.sysVar10) &&
           in.U8(v.sysVar14);
    if (read && version < kDroppedValueBefore) {
        int32_t dropped = 0;
        read = in.I32(dropped);
    }
    read = read && in.I32(savedInt1);
    if (read && version >= kSinceSecondSceneValues) read = in.I32s(v.sysVar21, v.sysVar73);
    if (read && version >= kSinceTransition) {
        uint32_t names = 0;
        read = in.I32s(transitionGraphic, transitionFrames) && in.U8(transitionWait) && in.Count(names, 4);
        if (read && nameList.size() < names) nameList.resize(names);
        for (uint32_t i = 0; read && i < names; ++i) {
            uint32_t length = 0;
            read = in.Count(length, 1) && in.Bytes(length, nameList[i]);
        }
        uint32_t slots = 0;
        read = read && in.Count(slots, 4);
        if (read && v.slotValues.size() < slots) v.slotValues.resize(slots, -1);
        for (uint32_t i = 0; read && i < slots; ++i)
            read = in.I32(v.slotValues[i]);
        read = read && in.I32s(v.sysVar22, savedInt6, savedInt7, v.sysVar59, v.sysVar60);
    }
    for (size_t button = 0; read && version >= kSinceKeys && button < keyConfig.keyboard.size(); ++button)
        read = in.I32s(keyConfig.keyboard[button], keyConfig.padMask[button]);
    if (read && version >= kSinceSysVar37) read = in.I16(v.sysVar37);
    if (read && version >= kSinceFirstTexts) read = in.Text(savedText0) && in.Text(savedText1);
    if (read && version >= kSinceSysVar28) read = in.I32(v.sysVar28);
    if (read && version >= kSinceBaseVolumes) read = in.I32s(v.sysVar100, v.sysVar101, v.sysVar102);
    if (read && version >= kSinceSecondTexts) {
        read = in.Text(savedText2) && in.I32s(savedInt8, savedInt9, savedInt10) && in.Text(savedText3) &&
               in.I32s(savedInt11, savedInt12, savedInt13);
    }
    if (read && version >= kSinceThirdTexts) read = in.Text(savedText4) && in.Text(savedText5) && in.U8(savedFlag2);
    if (read && version >= kSinceLastFlag) read = in.U8(savedFlag3);
    if (!read) stream.errorFlag = true;
    return read;
}

}  // namespace velk
