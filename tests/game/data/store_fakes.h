#pragma once
// Owners of the values the variable store reaches, as plain records a test
// can set and inspect.

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "game/data/game_owners.h"

namespace velk::testing {

struct FakeCharacter {
    int32_t halfTileX = 0;
    int32_t halfTileY = 0;
    int32_t height = 0;
    std::string graphic;

    int32_t& Field(CharacterField field) {
        switch (field) {
            case CharacterField::kHalfTileX: return halfTileX;
            case CharacterField::kHalfTileY: return halfTileY;
            case CharacterField::kHeight: break;
        }
        return height;
    }
};

class FakeMap final : public MapOwner {
public:
    int32_t CurrentMapId() override { return mapId; }
    int32_t MapWidth() override { return width; }
    int32_t MapHeight() override { return height; }
    bool LoopsHorizontally() override { return loopsX; }
    bool LoopsVertically() override { return loopsY; }
    int32_t ScrollX() override { return scrollX; }
    int32_t ScrollY() override { return scrollY; }
    void SetScrollX(int32_t value) override { scrollX = value; }
    void SetScrollY(int32_t value) override { scrollY = value; }
    bool IsHeroMoving() override { return heroMoving; }
    bool ReadEventField(int32_t id, CharacterField field, int32_t& value) override {
        if (events.count(id)) value = events[id].Field(field);
        return events.count(id);
    }
    bool WriteEventField(int32_t id, CharacterField field, int32_t value) override {
        if (events.count(id)) events[id].Field(field) = value;
        return events.count(id);
    }
    bool ReadMemberField(int32_t member, CharacterField field, int32_t& value) override {
        if (FakeCharacter* found = Member(member)) value = found->Field(field);
        return Member(member);
    }
    bool WriteMemberField(int32_t member, CharacterField field, int32_t value) override {
        if (FakeCharacter* found = Member(member)) found->Field(field) = value;
        return Member(member);
    }
    bool ReadMemberGraphic(int32_t member, std::string& name) override {
        if (FakeCharacter* found = Member(member)) name = found->graphic;
        return Member(member);
    }
    bool WriteMemberGraphic(int32_t member, const std::string& name) override {
        if (FakeCharacter* found = Member(member)) found->graphic = name;
        return Member(member);
    }
    std::string PanoramaImageName() override { return panorama; }
    void SetPanoramaImageName(const std::string& name) override { panorama = name; }
    std::string FogImageName() override { return fog; }
    void SetFogImageName(const std::string& name) override { fog = name; }

    int32_t mapId = -1;
    int32_t width = 30, height = 30;
    bool loopsX = false, loopsY = false;
    int32_t scrollX = 0, scrollY = 0;
    bool heroMoving = false;
    std::map<int32_t, FakeCharacter> events;
    std::vector<FakeCharacter> party = {FakeCharacter()};
    std::string panorama, fog;

private:
    FakeCharacter* Member(int32_t member) {
        return member < 0 || static_cast<size_t>(member) >= party.size() ? nullptr : &party[member];
    }
};

class FakeScene final : public SceneOwner {
public:
    int32_t MessageWindowOpen() override { return messageWindowOpen; }
    int32_t ChoiceItemValue() override { return choiceItem; }
    bool KeptMapId(int32_t& id) override {
        if (!keptMap) return false;
        id = *keptMap;
        return true;
    }
    int32_t FrameSkipLevel() override { return frameSkip; }
    void SetFrameSkipLevel(int32_t level) override { frameSkip = level; }
    int32_t DownloadValue(int32_t number) override { return number * 10; }
    bool UsesDirect3D() override { return uses3D; }
    CalendarTime LocalTime() override { return {2024, 2, 29, 23, 59, 58}; }
    std::string LastMessageText() override { return "last"; }
    std::string ChoiceText(int32_t index) override { return "choice" + std::to_string(index); }
    void MarkPanoramaChanged() override { panoramaChanged = true; }
    void MarkFogChanged() override { fogChanged = true; }

    int32_t messageWindowOpen = 0, choiceItem = -1, frameSkip = 0;
    std::optional<int32_t> keptMap;
    bool uses3D = false, panoramaChanged = false, fogChanged = false;
};

class FakeInput final : public InputOwner {
public:
    int32_t GetKeyConfig(ActionButton button, bool keyboard) override {
        return keys[keyboard ? 0 : 1][static_cast<int>(button)];
    }
    void SetKeyConfig(ActionButton button, bool keyboard, int32_t code) override {
        keys[keyboard ? 0 : 1][static_cast<int>(button)] = code;
    }
    std::string GetKeyConfigName(ActionButton button, bool keyboard) override {
        return (keyboard ? "key" : "pad") + std::to_string(static_cast<int>(button));
    }
    int32_t MouseX() override { return mouseX; }
    int32_t MouseY() override { return mouseY; }
    void MoveMouseX(int32_t value) override { mouseX = value; }
    void MoveMouseY(int32_t value) override { mouseY = value; }
    bool MouseCursorShown() override { return cursorShown; }
    void ShowMouseCursor(bool shown) override { cursorShown = shown; }

    std::array<std::array<int32_t, 3>, 2> keys = {{{144, 145, 146}, {301, 302, 303}}};
    int32_t mouseX = 0, mouseY = 0;
    bool cursorShown = true;
};

class FakeSound final : public SoundOwner {
public:
    int32_t Volume(SoundChannel channel) override { return volume[static_cast<int>(channel)]; }
    void StartVolumeChange(SoundChannel channel, int32_t value) override {
        changes.emplace_back(channel, value);
        volume[static_cast<int>(channel)] = value;
    }
    int32_t Speed(SoundChannel channel) override { return speed[static_cast<int>(channel)]; }
    void SetSpeed(SoundChannel channel, int32_t percent) override { speed[static_cast<int>(channel)] = percent; }
    std::string PlayingFileName(SoundChannel channel) override {
        return channel == SoundChannel::kMusic ? "music.ogg" : "ambience.ogg";
    }
    int32_t VolumeReference(SoundChannel channel) override { return reference[static_cast<int>(channel)]; }

    std::array<int32_t, 2> volume = {100, 100};
    std::array<int32_t, 2> speed = {100, 100};
    std::array<int32_t, 2> reference = {100, 100};
    std::vector<std::pair<SoundChannel, int32_t>> changes;
};

class FakeEvents final : public EventOwner {
public:
    int32_t CommonEventCount() override { return count; }
    int32_t count = 0;
};

class FakeInterpreter final : public MainInterpreterLink {
public:
    SystemVariableBlock& SystemVariables() override { return block; }
    bool IsRunningEvent() override { return running; }
    SystemVariableBlock block;
    bool running = false;
};

// Installs the fakes for the life of a test.
struct FakeOwners {
    FakeOwners() { ActiveGameOwners() = {&map, &scene, &input, &sound, &events}; }
    ~FakeOwners() { ResetGameOwners(); }
    FakeMap map;
    FakeScene scene;
    FakeInput input;
    FakeSound sound;
    FakeEvents events;
};

}  // namespace velk::testing
