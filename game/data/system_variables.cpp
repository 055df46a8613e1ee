// System variables (9000000 + number) and system strings (9900000 + index):
// numbers mapped onto the main interpreter's block and onto the objects that
// own the other values.
#include <algorithm>
#include <cmath>
#include <optional>

#include "game/data/game_info.h"
#include "game/data/game_owners.h"
#include "game/data/player_settings.h"
#include "game/data/variable_store.h"

namespace velk {
namespace {

enum class BlockWrite { kStore, kReadOnly, kAtLeastOne, kChoiceBlend };

struct BlockInteger {
    int32_t SystemVariableBlock::*field;
    BlockWrite write;
};

std::optional<BlockInteger> BlockIntegerOf(int32_t number) {
    using B = SystemVariableBlock;
    switch (number) {
        case 0: return BlockInteger{&B::sysVar0, BlockWrite::kStore};
        case 1: return BlockInteger{&B::sysVar1, BlockWrite::kStore};
        case 2: return BlockInteger{&B::sysVar2, BlockWrite::kStore};
        case 3: return BlockInteger{&B::sysVar3, BlockWrite::kStore};
        case 4: return BlockInteger{&B::sysVar4, BlockWrite::kStore};
        case 7: return BlockInteger{&B::sysVar7, BlockWrite::kStore};
        case 8: return BlockInteger{&B::sysVar8, BlockWrite::kStore};
        case 9: return BlockInteger{&B::sysVar9, BlockWrite::kStore};
        case 10: return BlockInteger{&B::sysVar10, BlockWrite::kStore};
        case 11: return BlockInteger{&B::sysVar11, BlockWrite::kStore};
        case 15: return BlockInteger{&B::sysVar15, BlockWrite::kAtLeastOne};
        case 16: return BlockInteger{&B::sysVar16, BlockWrite::kAtLeastOne};
        case 17: return BlockInteger{&B::sysVar17, BlockWrite::kStore};
        case 18: return BlockInteger{&B::sysVar18, BlockWrite::kStore};
        case 19: return BlockInteger{&B::sysVar19, BlockWrite::kStore};
        case 21: return BlockInteger{&B::sysVar21, BlockWrite::kStore};
        case 22: return BlockInteger{&B::sysVar22, BlockWrite::kChoiceBlend};
        case 24: return BlockInteger{&B::sysVar24, BlockWrite::kReadOnly};
        case 25: return BlockInteger{&B::sysVar25, BlockWrite::kStore};
        case 28: return BlockInteger{&B::sysVar28, BlockWrite::kStore};
        case 29: return BlockInteger{&B::sysVar29, BlockWrite::kStore};
        case 30: return BlockInteger{&B::sysVar30, BlockWrite::kStore};
        case 31: return BlockInteger{&B::sysVar31, BlockWrite::kReadOnly};
        case 32: return BlockInteger{&B::sysVar32, BlockWrite::kReadOnly};
        case 39: return BlockInteger{&B::textPromptState, BlockWrite::kReadOnly};
        case 59: return BlockInteger{&B::sysVar59, BlockWrite::kStore};
        case 60: return BlockInteger{&B::sysVar60, BlockWrite::kStore};
        case 61: return BlockInteger{&B::sysVar61, BlockWrite::kStore};
        case 62: return BlockInteger{&B::sysVar62, BlockWrite::kStore};
        case 63: return BlockInteger{&B::sysVar63, BlockWrite::kStore};
        case 64: return BlockInteger{&B::sysVar64, BlockWrite::kStore};
        case 65: return BlockInteger{&B::sysVar65, BlockWrite::kStore};
        case 66: return BlockInteger{&B::sysVar66, BlockWrite::kStore};
        case 67: return BlockInteger{&B::sysVar67, BlockWrite::kStore};
        case 68: return BlockInteger{&B::sysVar68, BlockWrite::kStore};
        case 73: return BlockInteger{&B::sysVar73, BlockWrite::kStore};
        case 102: return BlockInteger{&B::sysVar102, BlockWrite::kStore};
        default: return std::nullopt;
    }
}

// Block values kept in 16 bits: stored truncated, read sign-extended.
int16_t SystemVariableBlock::*BlockShortOf(int32_t number) {
    using B = SystemVariableBlock;
    switch (number) {
        case 5: return &B::sysVar5;
        case 6: return &B::sysVar6;
        case 36: return &B::sysVar36;
        case 37: return &B::sysVar37;
        case 40: return &B::sysVar40;
        case 41: return &B::sysVar41;
        default: return nullptr;
    }
}

constexpr int32_t kFirstButtonKey = 52;    // 52-54 keyboard, 55-57 pad
constexpr int32_t kFirstSlotValue = 87;    // 87-91
constexpr int32_t kFirstDateTime = 77;     // 77-82
constexpr int32_t kFirstDownload = 43;     // 43-48
constexpr int32_t kFirstChoiceText = 40;   // system strings 40-49
constexpr int32_t kFirstMemberGraphic = 10;  // system strings 10-15

ActionButton ButtonOf(int32_t offset) { return static_cast<ActionButton>(offset % 3); }

int32_t DateTimeValue(const CalendarTime& time, int32_t offset) {
    switch (offset) {
        case 0: return time.year;
        case 1: return time.month;
        case 2: return time.day;
        case 3: return time.hour;
        case 4: return time.minute;
        default: return time.second;
    }
}

int32_t ClampToInt(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

int32_t VariableStore::GetSystemVariable(int32_t number) {
    if (!interpreter_) return 0;
    SystemVariableBlock& block = interpreter_->SystemVariables();
    GameOwners& owners = ActiveGameOwners();
    if (auto integer = BlockIntegerOf(number)) return block.*(integer->field);
    if (auto field = BlockShortOf(number)) return block.*field;
    if (number >= kFirstButtonKey && number < kFirstButtonKey + 6) {
        int32_t offset = number - kFirstButtonKey;
        return owners.input->GetKeyConfig(ButtonOf(offset), offset < 3);
    }
    if (number >= kFirstSlotValue && number < kFirstSlotValue + 5) return block.slotValues[number - kFirstSlotValue];
    if (number >= kFirstDateTime && number < kFirstDateTime + 6) {
        return DateTimeValue(owners.scene->LocalTime(), number - kFirstDateTime);
    }
    if (number >= kFirstDownload && number < kFirstDownload + 6) return owners.scene->DownloadValue(number);
    switch (number) {
        case 12: return owners.scene->MessageWindowOpen();
        case 13: return interpreter_->IsRunningEvent() ? 1 : 0;
        case 14: return static_cast<int8_t>(block.sysVar14);
        case 20: return owners.scene->ChoiceItemValue();
        case 23: {
            int32_t kept = 0;
            return owners.scene->KeptMapId(kept) ? kept : owners.map->CurrentMapId();
        }
        case 33: return owners.scene->FrameSkipLevel();
        case 35: return owners.map->IsHeroMoving() ? 1 : 0;
        case 71: return owners.input->MouseX();
        case 72: return owners.input->MouseY();
        case 74: return owners.input->MouseCursorShown() ? 1 : 0;
        case 84: return GlobalGameInfo().Setting(GameInfo::kChipSizeSetting) != 16 ? 1 : 0;
        case 85: return owners.scene->UsesDirect3D() ? 0 : 1;
        case 95: return owners.sound->Volume(SoundChannel::kMusic);
        case 96: return owners.sound->Speed(SoundChannel::kMusic);
        case 97: return owners.sound->Volume(SoundChannel::kBackgroundSound);
        case 98: return owners.sound->Speed(SoundChannel::kBackgroundSound);
        case 100: return block.sysVar100;
        case 101: return block.sysVar101;
        case 104: return owners.map->ScrollX() / 4;
        case 105: return owners.map->ScrollY() / 4;
        default: return -1;
    }
}

void VariableStore::SetSystemVariable(int32_t number, int32_t value) {
    if (!interpreter_) return;
    SystemVariableBlock& block = interpreter_->SystemVariables();
    GameOwners& owners = ActiveGameOwners();
    if (auto integer = BlockIntegerOf(number)) {
        switch (integer->write) {
            case BlockWrite::kStore: block.*(integer->field) = value; break;
            case BlockWrite::kReadOnly: break;
            case BlockWrite::kAtLeastOne: block.*(integer->field) = std::max(value, 1); break;
            case BlockWrite::kChoiceBlend: block.*(integer->field) = std::clamp(value, 0, 3); break;
        }
        return;
    }
    if (auto field = BlockShortOf(number)) {
        block.*field = static_cast<int16_t>(value);
        return;
    }
    if (number >= kFirstButtonKey && number < kFirstButtonKey + 6) {
        int32_t offset = number - kFirstButtonKey;
        owners.input->SetKeyConfig(ButtonOf(offset), offset < 3, value);
        return;
    }
    if (number >= kFirstSlotValue && number < kFirstSlotValue + 5) {
        block.slotValues[number - kFirstSlotValue] = value;
        return;
    }
    switch (number) {
        case 14: block.sysVar14 = static_cast<uint8_t>(value); break;
        case 33: owners.scene->SetFrameSkipLevel(std::clamp(value, 0, 2)); break;
        case 71: owners.input->MoveMouseX(value); break;
        case 72: owners.input->MoveMouseY(value); break;
        case 74:
            block.sysVar74 = value != 0;
            owners.input->ShowMouseCursor(value != 0);
            break;
        case 95: SetVolume(SoundChannel::kMusic, ClampToInt(int64_t{value} * block.sysVar100 / 100)); break;
        case 97: SetVolume(SoundChannel::kBackgroundSound, ClampToInt(int64_t{value} * block.sysVar101 / 100)); break;
        case 96: owners.sound->SetSpeed(SoundChannel::kMusic, value); break;
        case 98: owners.sound->SetSpeed(SoundChannel::kBackgroundSound, value); break;
        case 100:
        case 101: {
            SoundChannel channel = number == 100 ? SoundChannel::kMusic : SoundChannel::kBackgroundSound;
            // Scaled by the recorded reference only where it is below 1;
            // otherwise the playing sound takes the new base volume itself.
            const int64_t reference = owners.sound->VolumeReference(channel);
            SetVolume(channel, ClampToInt(int64_t{value} * reference / std::max<int64_t>(reference, 1)));
            (number == 100 ? block.sysVar100 : block.sysVar101) = std::max(value, 0);
            break;
        }
        case 104: SetScroll(false, value); break;
        case 105: SetScroll(true, value); break;
        default: break;
    }
}

void VariableStore::SetVolume(SoundChannel channel, int32_t volume) {
    ActiveGameOwners().sound->StartVolumeChange(channel, volume);
}

// The scroll position in pixels, kept inside the map (or, for a looping
// direction, inside the band the view may wrap through), stored in quarter
// pixels.
void VariableStore::SetScroll(bool vertical, int32_t pixels) {
    MapOwner& map = *ActiveGameOwners().map;
    int64_t chip = GlobalGameInfo().ChipSize();
    int64_t v = pixels;
    if (!vertical) {
        int64_t width = map.MapWidth();
        if (map.LoopsHorizontally()) {
            v = std::min(std::max(v, -10 * chip + 1), (width - 10) * chip);
        } else {
            v = std::min(std::max(v, int64_t{0}), (width - 20) * chip);
        }
        map.SetScrollX(static_cast<int32_t>(static_cast<uint32_t>(v * 4)));
        return;
    }
    int64_t height = map.MapHeight();
    if (map.LoopsVertically()) {
        int64_t low = static_cast<int64_t>(std::trunc(-7.5 * static_cast<double>(chip))) - 1;
        int64_t high = static_cast<int64_t>(std::trunc((static_cast<double>(height) - 7.5) * static_cast<double>(chip) + 1.0));
        v = std::min(std::max(v, low), high);
    } else {
        // Games may scroll one pixel past the map's last screen and read that
        // back.
        v = std::min(std::max(v, int64_t{0}), (height - 15) * chip + 1);
    }
    map.SetScrollY(static_cast<int32_t>(static_cast<uint32_t>(v * 4)));
}

std::string VariableStore::GetSystemString(int32_t index) {
    GameOwners& owners = ActiveGameOwners();
    if (index >= 1 && index <= 6) return owners.input->GetKeyConfigName(ButtonOf(index - 1), index <= 3);
    if (index >= kFirstMemberGraphic && index < kFirstMemberGraphic + 6) {
        std::string name;
        return owners.map->ReadMemberGraphic(index - kFirstMemberGraphic, name) ? name : std::string();
    }
    if (index >= kFirstChoiceText && index < kFirstChoiceText + 10) return owners.scene->ChoiceText(index - kFirstChoiceText);
    switch (index) {
        case 20: return GlobalPlayerSettings().proxy;
        case 21: return GlobalPlayerSettings().proxyPort;
        case 25: return owners.scene->LastMessageText();
        case 26: return interpreter_ ? interpreter_->SystemVariables().sysString26 : std::string();
        case 27: return interpreter_ ? interpreter_->SystemVariables().sysString27 : std::string();
        case 30: return owners.map->PanoramaImageName();
        case 31: return owners.map->FogImageName();
        case 33: return owners.sound->PlayingFileName(SoundChannel::kMusic);
        case 34: return owners.sound->PlayingFileName(SoundChannel::kBackgroundSound);
        default: return std::string();
    }
}

std::string VariableStore::SetSystemString(int32_t index, const std::string& value) {
    GameOwners& owners = ActiveGameOwners();
    if (index >= kFirstMemberGraphic && index < kFirstMemberGraphic + 6) {
        owners.map->WriteMemberGraphic(index - kFirstMemberGraphic, value);
        return std::string();
    }
    switch (index) {
        case 20: GlobalPlayerSettings().proxy = value; break;
        case 21: GlobalPlayerSettings().proxyPort = value; break;
        case 26:
            if (interpreter_) interpreter_->SystemVariables().sysString26 = value;
            break;
        case 27:
            if (interpreter_) interpreter_->SystemVariables().sysString27 = value;
            break;
        case 30:
            owners.map->SetPanoramaImageName(value);
            owners.scene->MarkPanoramaChanged();
            break;
        case 31:
            owners.map->SetFogImageName(value);
            owners.scene->MarkFogChanged();
            break;
        default: break;
    }
    return std::string();
}

}  // namespace velk
