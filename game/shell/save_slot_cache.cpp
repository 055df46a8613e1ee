#include "game/shell/save_slot_cache.h"

#include <algorithm>
#include <new>

#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/data/save_stream.h"
#include "game/data/text_format.h"
#include "game/map/map_state.h"
#include "game/present/picture_list.h"
#include "game/shell/save_texts.h"
#include "platform/file/whole_file.h"

namespace velk {
namespace {

// The forms of IDs that name the running event's own self variables.
constexpr VariableId kOwnMapSelfFirst = 1100000;
constexpr VariableId kOwnMapSelfLast = 1199999;
constexpr VariableId kOwnCommonSelfFirst = 1600000;
constexpr VariableId kOwnCommonSelfLast = 1699999;
constexpr int32_t kMusicType = 1;
// Bytes a save may need beyond the free space before the disk counts as full.
constexpr size_t kDiskSlack = 200;
// System variable 12, read from a damaged slot's save for its message.
constexpr VariableId kDamagedSecondsVariable = 9000012;
constexpr int32_t kBackgroundSoundType = 2;

bool InRange(VariableId id, VariableId first, VariableId last) { return id >= first && id <= last; }

bool WriteIntoFolder(const std::string& path, std::span<const uint8_t> bytes) {
    const size_t slash = path.rfind('\\');
    if (slash != std::string::npos) platform::CreateGameFolder(path.substr(0, slash));
    return platform::WriteGameFileAtomically(path, bytes);
}

}  // namespace

SaveSlotCache::SaveSlotCache(SaveGameState state, SaveHooks hooks) : state_(std::move(state)), hooks_(std::move(hooks)) {
    if (!hooks_.replayPlaying) {
        hooks_.replayPlaying = [replay = hooks_.replay] { return replay && replay->playbackFlag != 0; };
    }
    if (!hooks_.writeFile) hooks_.writeFile = WriteIntoFolder;
    if (!hooks_.availableDiskBytes) hooks_.availableDiskBytes = platform::AvailableDiskBytes;
    if (!hooks_.readFile) hooks_.readFile = [](const std::string& path) { return ReadGameFileOrThrow(path); };
    if (!hooks_.drawSeeds) hooks_.drawSeeds = DrawSaveSeeds;
    if (!hooks_.beforeCopy) hooks_.beforeCopy = [] {};
    if (!hooks_.beforeRestore) hooks_.beforeRestore = [] {};
    if (!hooks_.afterRestore) hooks_.afterRestore = [] {};
    if (!hooks_.startReplay) hooks_.startReplay = [] {};
}

SaveSlotCache::~SaveSlotCache() = default;

std::unique_ptr<SaveSnapshot> SaveSlotCache::FreshSnapshot() const {
    auto snapshot = std::make_unique<SaveSnapshot>(state_.chipSize, &state_.databases);
    snapshot->variables.Resize();
    FillFreshParts(*snapshot, state_);
    return snapshot;
}

SaveSnapshot& SaveSlotCache::SnapshotOf(const std::string& path) {
    auto& slot = snapshots_[path];
    if (!slot) slot = FreshSnapshot();
    return *slot;
}

SaveSnapshot* SaveSlotCache::Find(const std::string& path) {
    auto found = snapshots_.find(path);
    return found == snapshots_.end() ? nullptr : found->second.get();
}

bool SaveSlotCache::CopyLive(SaveSnapshot& snapshot) {
    hooks_.beforeCopy();
    if (!CopyLiveParts(snapshot, state_)) return false;
    // The interpreter and the variables go over in their save form, so the
    // snapshot holds exactly what its file will.
    SaveStream interpreter;
    state_.interpreter.WriteSave(interpreter, state_.databases.system.GetDataCount(kMusicType),
                                 state_.databases.system.GetDataCount(kBackgroundSoundType));
    SaveStream variables;
    state_.variables.WriteSave(variables);
    SaveStream interpreterIn(interpreter.Bytes());
    SaveStream variablesIn(variables.Bytes());
    if (!snapshot.interpreter.ReadSave(interpreterIn) || !snapshot.variables.ReadSave(variablesIn, false)) return false;
    snapshot.changeable = state_.databases.changeable;
    if (hooks_.replay) {
        snapshot.replay = *hooks_.replay;
        snapshot.replayRecorded = true;
    }
    return true;
}

bool SaveSlotCache::Save(int32_t slot, bool copyLive, const std::string& prefix) {
    if (hooks_.replayPlaying()) return true;
    // A negative slot names no file.
    if (slot < 0) return false;
    // A save big enough to run out of memory fails as one that cannot be
    // copied; WriteSlot changes the cache only once the file is written.
    try {
        return WriteSlot(slot, copyLive, prefix);
    } catch (const std::bad_alloc&) {
        ShowDiskFull();
        return false;
    }
}

void SaveSlotCache::ShowDiskFull() {
    ActiveErrorReporter().ShowErrorBox(save_texts::kDiskFullLine1, save_texts::kDiskFullLine2, "");
}

void SaveSlotCache::ShowWriteFailed(const std::string& path, bool copyLive) {
    // A game may write slot values every frame: their box is shown once per
    // file in a run. The player's own saves are told every time.
    if (!copyLive && !writeFailureShown_.insert(path).second) return;
    ActiveErrorReporter().ShowErrorBox(save_texts::kWriteFailedLine1, save_texts::kWriteFailedLine2, "");
}

bool SaveSlotCache::WriteSlot(int32_t slot, bool copyLive, const std::string& prefix) {
    const std::string path = SaveFilePath(slot, prefix);
    // Made now, so that nothing after the write can fail and leave the cache
    // telling another story than the disk. The live copy is made aside and
    // joins the cache only once its file is written, so that after a failed
    // save the slot's values and a load tell what the disk holds.
    std::unique_ptr<SaveSnapshot>& cached = snapshots_[path];
    uint8_t& valid = valid_[path];
    uint8_t& missing = missing_[path];
    std::unique_ptr<SaveSnapshot> fresh;
    if (copyLive) {
        fresh = std::make_unique<SaveSnapshot>(state_.chipSize, &state_.databases);
        if (!CopyLive(*fresh)) {
            ShowDiskFull();
            return false;
        }
    } else if (!cached) {
        cached = FreshSnapshot();
    }
    auto file = BuildSaveFile(fresh ? *fresh : *cached, state_.title, state_.databases, hooks_.drawSeeds());
    if (!file) return false;
    // The slack matches what a load lets trail after the parts.
    const std::optional<uint64_t> available = hooks_.availableDiskBytes();
    if (available && static_cast<int64_t>(std::min<uint64_t>(*available, INT64_MAX)) <
                         static_cast<int64_t>(file->size()) - static_cast<int64_t>(kDiskSlack)) {
        ShowDiskFull();
        return false;
    }
    if (!hooks_.writeFile(path, *file)) {
        ShowWriteFailed(path, copyLive);
        return false;
    }
    if (fresh) cached = std::move(fresh);
    state_.variables.SetSystemVariable(kSystemVariableLastSlot, slot);
    valid = 1;
    missing = 0;
    return true;
}

void SaveSlotCache::ShowDamaged(int32_t slot) {
    // The seconds are system variable 12 of the slot's save under no prefix;
    // when that file is damaged too, its own message must not ask again.
    int32_t seconds = 0;
    if (!readingDamagedSeconds_) {
        readingDamagedSeconds_ = true;
        seconds = GetSlotInt(slot, kDamagedSecondsVariable, "");
        readingDamagedSeconds_ = false;
    }
    ActiveErrorReporter().ShowErrorBox(FormatText(save_texts::kDamagedSave, static_cast<int>(slot), seconds), "", "");
}

bool SaveSlotCache::Load(int32_t slot, bool load, bool replay, const std::string& prefix) {
    if (slot < 0) return false;
    // A save too big for the memory left is whole: the player is told so,
    // not that it is damaged. Until the live game is torn down (RestoreLive)
    // nothing has changed but marks that the next read sets again.
    try {
        return ReadSlot(slot, load, replay, prefix);
    } catch (const std::bad_alloc&) {
        ShowOutOfMemory(slot);
        return false;
    }
}

void SaveSlotCache::ShowOutOfMemory(int32_t slot) {
    ActiveErrorReporter().ShowErrorBox(FormatText(save_texts::kLoadOutOfMemoryLine1, static_cast<int>(slot)),
                                       save_texts::kLoadOutOfMemoryLine2, "");
}

bool SaveSlotCache::ReadSlot(int32_t slot, bool load, bool replay, const std::string& prefix) {
    const std::string path = SaveFilePath(slot, prefix);
    const bool cacheOnly = !load && !replay;
    if (cacheOnly && valid_[path]) return true;
    if (cacheOnly && missing_[path]) return false;

    auto bytes = hooks_.readFile(path);
    if (!bytes) {
        // A file that is there but could not be read is somebody's save, not
        // a missing one a slot write may replace with a fresh game.
        if (GameFileLength(path) >= 0) {
            ShowDamaged(slot);
            return false;
        }
        missing_[path] = 1;
        return false;
    }
    missing_[path] = 0;
    SaveReadResult read = ReadSaveFile(std::move(*bytes), state_);
    if (read.status != SaveReadStatus::kAccepted) {
        // The path's snapshot is that of a fresh game until a good file is read.
        valid_[path] = 0;
        snapshots_[path] = FreshSnapshot();
        if (read.status == SaveReadStatus::kDamaged) ShowDamaged(slot);
        if (read.status == SaveReadStatus::kForeign) {
            ActiveErrorReporter().ShowErrorBox(save_texts::kSaveErrorTitle,
                                               FormatText(save_texts::kForeignSave, read.foreignTitle.c_str()), "");
        }
        return false;
    }

    if (load && !replay) {
        // Checked before anything of the live game changes.
        if (read.snapshot->changeable.types.empty()) {
            ActiveErrorReporter().ShowErrorBox(save_texts::kNoChangeableDatabase, FormatErrorLocation(), "");
            return false;
        }
        switch (RestoreLive(read)) {
            case Restored::kWhole: break;
            case Restored::kPartUnread: ShowDamaged(slot); return false;
            case Restored::kOutOfMemory: ShowOutOfMemory(slot); return false;
        }
        state_.variables.SetSystemVariable(kSystemVariableLastSlot, slot);
        Clear();
        return true;
    }
    SaveSnapshot& snapshot = *(snapshots_[path] = std::move(read.snapshot));
    valid_[path] = 1;
    if (replay) StartReplay(snapshot);
    return true;
}

void SaveSlotCache::StartReplay(const SaveSnapshot& snapshot) {
    if (hooks_.replay) {
        *hooks_.replay = snapshot.replay;
        hooks_.replay->BeginPlayback();
    }
    hooks_.startReplay();
}

SaveSlotCache::Restored SaveSlotCache::RestoreLive(SaveReadResult& read) {
    hooks_.beforeRestore();
    Restored restored = Restored::kPartUnread;
    try {
        // Made first: an interpreter moved from would be left in its place.
        MainEventInterpreter freshInterpreter(state_.chipSize);
        // The interpreter that runs the load may be the main one, one of its
        // children or a map event's: all of them stay alive, moved aside,
        // until it has returned.
        Replaced& replaced = replaced_.emplace_back();
        replaced.interpreter = std::make_unique<MainEventInterpreter>(std::move(state_.interpreter));
        replaced.events = std::move(state_.map.events);
        state_.map.events.clear();
        state_.interpreter = std::move(freshInterpreter);
        state_.map.Reset();
        state_.variables = VariableStore(&state_.interpreter, &state_.databases);
        state_.pictures.Clear(true);

        // The same bytes again, now into the live objects with their side
        // effects (the map's file and music, the random state, the images).
        SaveStream in(std::move(read.plain), read.partsStart);
        in.version = read.version;
        if (state_.map.ReadSave(in, true) && state_.interpreter.ReadSave(in) && state_.variables.ReadSave(in, true) &&
            state_.hero.Read(in) && state_.pictures.ReadSave(in, true)) {
            restored = Restored::kWhole;
        }
    } catch (const std::bad_alloc&) {
        restored = Restored::kOutOfMemory;
        // The old game is gone by now, so the restore ends as one whose part
        // does not read. The other parts read aside or size their cells as
        // they fill them; a map cut off between its size and its layers
        // would be looked up outside them, so the game goes on without one.
        state_.map.mapId = -1;
        state_.map.map = MapData();
        state_.map.events.clear();
    }
    state_.databases.changeable = std::move(read.snapshot->changeable);
    // The game goes on recording from the save's record; a record being
    // played back is not swapped under the playback.
    ReplayRecorder* live = hooks_.replay;
    if (live && read.snapshot->replayRecorded && !live->playbackFlag) *live = std::move(read.snapshot->replay);
    state_.map.refreshPagesFlag = 1;
    hooks_.afterRestore();
    return restored;
}

void SaveSlotCache::DropReplaced() { replaced_.clear(); }

bool SaveSlotCache::NamesOwnSelfVariable(VariableId id, bool strings) {
    return (!strings && InRange(id, kOwnMapSelfFirst, kOwnMapSelfLast)) ||
           InRange(id, kOwnCommonSelfFirst, kOwnCommonSelfLast);
}

int32_t SaveSlotCache::GetSlotInt(int32_t slot, VariableId id, const std::string& prefix) {
    if (slot < 0 || NamesOwnSelfVariable(id, false)) return 0;
    if (!Load(slot, false, false, prefix)) return 0;
    SaveSnapshot& snapshot = SnapshotOf(SaveFilePath(slot, prefix));
    return snapshot.variables.GetInt(id, 1, &snapshot.changeable);
}

std::string SaveSlotCache::GetSlotString(int32_t slot, VariableId id, int32_t unused, const std::string& prefix) {
    if (slot < 0) return save_texts::kNegativeSlotText;
    if (InRange(id, kOwnCommonSelfFirst, kOwnCommonSelfLast)) return {};
    if (!Load(slot, false, false, prefix)) return {};
    SaveSnapshot& snapshot = SnapshotOf(SaveFilePath(slot, prefix));
    return snapshot.variables.GetString(id, unused, &snapshot.changeable);
}

bool SaveSlotCache::TakeForWrite(int32_t slot, const std::string& path, const std::string& prefix) {
    Load(slot, false, false, prefix);
    if (valid_[path]) return true;
    // A file that is there but was refused (damaged, another game's) is
    // somebody's save: it is not replaced by a fresh game.
    if (!missing_[path]) return false;
    snapshots_[path] = FreshSnapshot();
    return true;
}

void SaveSlotCache::SetSlotInt(int32_t slot, VariableId id, int32_t value, const std::string& prefix) {
    if (slot < 0 || NamesOwnSelfVariable(id, false)) return;
    const std::string path = SaveFilePath(slot, prefix);
    if (!TakeForWrite(slot, path, prefix)) return;
    SaveSnapshot& snapshot = SnapshotOf(path);
    snapshot.variables.SetInt(id, value, &snapshot.changeable);
    Save(slot, false, slot == 0 ? prefix : std::string(save_texts::kSlotPrefix));
}

void SaveSlotCache::SetSlotString(int32_t slot, VariableId id, const std::string& value, const std::string& prefix) {
    if (slot < 0 || NamesOwnSelfVariable(id, true)) return;
    const std::string path = SaveFilePath(slot, prefix);
    if (!TakeForWrite(slot, path, prefix)) return;
    SaveSnapshot& snapshot = SnapshotOf(path);
    snapshot.variables.SetString(id, value, &snapshot.changeable);
    Save(slot, false, slot == 0 ? prefix : std::string(save_texts::kSlotPrefix));
}

void SaveSlotCache::Clear() {
    snapshots_.clear();
    valid_.clear();
    missing_.clear();
}

}  // namespace velk
