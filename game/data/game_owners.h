#pragma once
// What the variable store needs of the parts of the game that own the values
// it reaches: the map and its characters, the scene and game system, input
// and key configuration, game sound, the common events and the main
// interpreter. Each is an interface whose defaults do nothing (or report
// "none"); the owners implement them as they are built and the shell installs
// them in ActiveGameOwners().

#include <cstdint>
#include <string>

#include "game/data/system_variable_block.h"
#include "platform/base/calendar_time.h"

namespace velk {

enum class CharacterField { kHalfTileX, kHalfTileY, kHeight };

class MapOwner {
public:
    virtual ~MapOwner() = default;
    // -1 while no map is loaded.
    virtual int32_t CurrentMapId() { return -1; }
    virtual int32_t MapWidth() { return 0; }
    virtual int32_t MapHeight() { return 0; }
    virtual bool LoopsHorizontally() { return false; }
    virtual bool LoopsVertically() { return false; }
    // The view's scroll position in quarter pixels.
    virtual int32_t ScrollX() { return 0; }
    virtual int32_t ScrollY() { return 0; }
    virtual void SetScrollX(int32_t quarterPixels) {}
    virtual void SetScrollY(int32_t quarterPixels) {}
    // The hero is between grid positions.
    virtual bool IsHeroMoving() { return false; }
    // A field of the map event with this id on the current map; false when
    // there is no such event.
    virtual bool ReadEventField(int32_t eventId, CharacterField field, int32_t& value) { return false; }
    virtual bool WriteEventField(int32_t eventId, CharacterField field, int32_t value) { return false; }
    // The same for party member 0 (the hero) or n (follower n - 1); false
    // when the party has no such member.
    virtual bool ReadMemberField(int32_t member, CharacterField field, int32_t& value) { return false; }
    virtual bool WriteMemberField(int32_t member, CharacterField field, int32_t value) { return false; }
    // The graphic file name of a party member.
    virtual bool ReadMemberGraphic(int32_t member, std::string& name) { return false; }
    virtual bool WriteMemberGraphic(int32_t member, const std::string& name) { return false; }
    virtual std::string PanoramaImageName() { return {}; }
    virtual void SetPanoramaImageName(const std::string& name) {}
    virtual std::string FogImageName() { return {}; }
    virtual void SetFogImageName(const std::string& name) {}
};

// The scene, the game system object and the shell's run-wide state.
class SceneOwner {
public:
    virtual ~SceneOwner() = default;
    virtual int32_t MessageWindowOpen() { return 0; }
    virtual int32_t ChoiceItemValue() { return -1; }
    // A map id the game system keeps in place of the current one, when it does.
    virtual bool KeptMapId(int32_t& mapId) { return false; }
    virtual int32_t FrameSkipLevel() { return 0; }
    // Also sets the speed factor that goes with the level.
    virtual void SetFrameSkipLevel(int32_t level) {}
    // System variables 43-48.
    virtual int32_t DownloadValue(int32_t number) { return 0; }
    virtual bool UsesDirect3D() { return false; }
    virtual CalendarTime LocalTime();
    virtual std::string LastMessageText() { return {}; }
    // Choice texts 0-9.
    virtual std::string ChoiceText(int32_t index) { return {}; }
    virtual void MarkPanoramaChanged() {}
    virtual void MarkFogChanged() {}
};

// The three action buttons of the key configuration.
enum class ActionButton { kConfirm = 0, kCancel = 1, kSub = 2 };

class InputOwner {
public:
    virtual ~InputOwner() = default;
    // The keyboard code (100-255) or pad code (301-315, 0 for none) of a button.
    virtual int32_t GetKeyConfig(ActionButton button, bool keyboard) { return 0; }
    virtual void SetKeyConfig(ActionButton button, bool keyboard, int32_t code) {}
    virtual std::string GetKeyConfigName(ActionButton button, bool keyboard) { return {}; }
    // The mouse position in game pixels.
    virtual int32_t MouseX() { return 0; }
    virtual int32_t MouseY() { return 0; }
    // Moves the cursor so that one coordinate becomes `value` game pixels.
    virtual void MoveMouseX(int32_t value) {}
    virtual void MoveMouseY(int32_t value) {}
    virtual bool MouseCursorShown() { return true; }
    virtual void ShowMouseCursor(bool shown) {}
};

enum class SoundChannel { kMusic = 0, kBackgroundSound = 1 };

class SoundOwner {
public:
    virtual ~SoundOwner() = default;
    virtual int32_t Volume(SoundChannel channel) { return 0; }
    // Starts a volume change: the fade markers set, the previous volume kept
    // as the current one, the current volume `volume`.
    virtual void StartVolumeChange(SoundChannel channel, int32_t volume) {}
    // Playback speed in percent; setting it retunes the playing sound.
    virtual int32_t Speed(SoundChannel channel) { return 100; }
    virtual void SetSpeed(SoundChannel channel, int32_t percent) {}
    virtual std::string PlayingFileName(SoundChannel channel) { return {}; }
    // The own volume (percent) of the sound that last started on the
    // channel; a new master volume scales it.
    virtual int32_t VolumeReference(SoundChannel channel) { return 100; }
};

class EventOwner {
public:
    virtual ~EventOwner() = default;
    // Common events loaded; the store gives each its self variables.
    virtual int32_t CommonEventCount() { return 0; }
};

// The main interpreter as the store sees it.
class MainInterpreterLink {
public:
    virtual ~MainInterpreterLink() = default;
    virtual SystemVariableBlock& SystemVariables() = 0;
    // An event is running.
    virtual bool IsRunningEvent() { return false; }
};

struct GameOwners {
    MapOwner* map;
    SceneOwner* scene;
    InputOwner* input;
    SoundOwner* sound;
    EventOwner* events;
};

// The owners in use; every pointer is set (to a do-nothing owner until the
// real one is installed).
GameOwners& ActiveGameOwners();
// Puts the do-nothing owners back.
void ResetGameOwners();

}  // namespace velk
