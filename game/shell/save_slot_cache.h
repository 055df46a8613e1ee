#pragma once
// Every save file the game has read or written, kept as a snapshot by its
// path, with marks for a path that holds a good save (valid) or no file at
// all (missing). Saving writes the snapshot of the slot's path (refreshed
// from the live game when asked); loading reads a file whole into a new
// snapshot, verifies it, and only then keeps it or restores the live game
// from it. Events read and write single variables of other slots through the
// snapshots without loading those games.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "game/map/map_event.h"
#include "game/shell/save_file.h"

namespace velk {

// What saving and loading need of the rest of the program. Empty functions
// do nothing (or the default named).
struct SaveHooks {
    // The live replay record, or null for a game that keeps none. A save
    // carries it; a loaded save that carries one replaces it (and recording
    // goes on from there) unless a replay is playing back; a save read for
    // its replay puts its record there and plays it back.
    ReplayRecorder* replay = nullptr;
    // True while a replay plays back: a save then writes nothing. Default:
    // the live record's playback flag.
    std::function<bool()> replayPlaying;
    // Writes a whole file of the game folder, replacing the old one only
    // when every byte is on disk. Default: the file's folder is made, then
    // the platform's atomic writer.
    std::function<bool(const std::string& path, std::span<const uint8_t> bytes)> writeFile;
    // The free bytes on the game folder's disk, nullopt when unknown (then
    // the write is tried). Default: the platform's query.
    std::function<std::optional<uint64_t>()> availableDiskBytes;
    // Reads a whole file of the game folder; memory that runs out is thrown
    // (std::bad_alloc), not answered as a file that cannot be read. Default:
    // the game's file access.
    std::function<std::optional<std::vector<uint8_t>>(const std::string& path)> readFile;
    // The container's seeds of a new save. Default: drawn from the wall time.
    std::function<ContainerSeeds()> drawSeeds;
    // Before the live game is copied into a save: what the live objects
    // carry for others (the music playing) brought up to date.
    std::function<void()> beforeCopy;
    // Before a verified save replaces the live game: music and background
    // sound stopped, every graph deleted and the work graphs made anew, the
    // scene's restart asked for, fonts reset and icons loaded again.
    std::function<void()> beforeRestore;
    // After it: the hero's first byte, the transition graphic and the music
    // the scene's restart starts, all as the loaded interpreter holds them.
    std::function<void()> afterRestore;
    // A save was read for its replay and its record is playing back: back
    // to the title, where the game starts over with the recorded buttons.
    std::function<void()> startReplay;
};

class SaveSlotCache {
public:
    SaveSlotCache(SaveGameState state, SaveHooks hooks);
    ~SaveSlotCache();
    SaveSlotCache(const SaveSlotCache&) = delete;
    SaveSlotCache& operator=(const SaveSlotCache&) = delete;

    // Writes the slot's snapshot (refreshed from the live game with
    // `copyLive`). False when the file could not be written: the old file
    // is kept whole, the player is told (for slot-value writes, once per
    // file in a run), and a live copy does not join the cache, whose
    // snapshot then holds what the disk does. True without writing while a
    // replay plays back.
    bool Save(int32_t slot, bool copyLive, const std::string& prefix);
    // `load`: restores the live game; `replay`: starts its replay; neither:
    // fills the cache only. True when the file was read and accepted; a
    // refused file changes nothing of the live game.
    bool Load(int32_t slot, bool load, bool replay, const std::string& prefix);

    int32_t GetSlotInt(int32_t slot, VariableId id, const std::string& prefix);
    std::string GetSlotString(int32_t slot, VariableId id, int32_t unused, const std::string& prefix);
    void SetSlotInt(int32_t slot, VariableId id, int32_t value, const std::string& prefix);
    void SetSlotString(int32_t slot, VariableId id, const std::string& value, const std::string& prefix);

    void Clear();

    // The objects a restore replaced are kept until the interpreter that ran
    // the load has returned; the scene's restart in the next frame (or the
    // title/reset block) drops them, when no event runs.
    void DropReplaced();

    // The snapshot of a path, or null.
    SaveSnapshot* Find(const std::string& path);

private:
    struct Replaced {
        std::vector<MapEvent> events;
        std::unique_ptr<MainEventInterpreter> interpreter;
    };

    std::unique_ptr<SaveSnapshot> FreshSnapshot() const;
    SaveSnapshot& SnapshotOf(const std::string& path);
    // The slot's snapshot made anew from the live game.
    bool CopyLive(SaveSnapshot& snapshot);
    // Save and Load without their answer to memory that runs out.
    bool WriteSlot(int32_t slot, bool copyLive, const std::string& prefix);
    bool ReadSlot(int32_t slot, bool load, bool replay, const std::string& prefix);
    enum class Restored { kWhole, kPartUnread, kOutOfMemory };
    Restored RestoreLive(SaveReadResult& read);
    void StartReplay(const SaveSnapshot& snapshot);
    // Readies the snapshot a slot write changes: the slot's own, or a fresh
    // game's when there is no file. False when a file is there but refused.
    bool TakeForWrite(int32_t slot, const std::string& path, const std::string& prefix);
    void ShowDamaged(int32_t slot);
    void ShowOutOfMemory(int32_t slot);
    void ShowDiskFull();
    void ShowWriteFailed(const std::string& path, bool copyLive);
    // Self variables of the running event have no meaning in another save.
    static bool NamesOwnSelfVariable(VariableId id, bool strings);

    SaveGameState state_;
    SaveHooks hooks_;
    std::map<std::string, std::unique_ptr<SaveSnapshot>> snapshots_;
    std::map<std::string, uint8_t> valid_;
    std::map<std::string, uint8_t> missing_;
    std::vector<Replaced> replaced_;
    bool readingDamagedSeconds_ = false;
    // Files whose slot-value writes have told the player they failed; kept
    // through Clear, for the whole run.
    std::set<std::string> writeFailureShown_;
};

}  // namespace velk
