#pragma once
// A save file: one snapshot of the running game, written part by part in a
// fixed order (map, main interpreter, variables, hero and party, pictures,
// changeable database, replay record) inside the scrambled container of map
// files, and read back in the same order.
//
// A snapshot keeps as objects what slot reads and writes reach (the main
// interpreter with its system variables, the variable store linked to it, the
// changeable database) and the other parts as their bytes in the current
// form, so that writing a snapshot back needs neither the map file nor the
// hero.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "game/data/data_container.h"
#include "game/data/database.h"
#include "game/data/replay_recorder.h"
#include "game/data/variable_store.h"
#include "game/event/main_event_interpreter.h"

namespace velk {

class ByteWriter;
class MapState;
class PictureList;
class SaveStream;
struct DatabaseSet;

// System variables a save touches: 1 in a snapshot that was written or read
// whole (read-only to events: the block's sysVar24); the slot last saved or
// loaded.
inline constexpr int32_t kSystemVariableSaved = 24;
inline constexpr int32_t kSystemVariableLastSlot = 25;

// A save part whose object lives elsewhere and is reached through this
// interface (the hero and its party).
class SavePartObject {
public:
    virtual ~SavePartObject() = default;
    virtual bool Write(ByteWriter& out) const = 0;
    // Reads the part into this object, which becomes what a freshly built
    // object reading it would be; false (with the stream's error flag set)
    // when the data ends early or is damaged.
    virtual bool Read(SaveStream& in) = 0;
    // A freshly built object of the same kind.
    virtual std::unique_ptr<SavePartObject> MakeFresh() const = 0;
};

class Hero;

// The hero and party part over the game's hero (or over one of its own).
class HeroSavePart final : public SavePartObject {
public:
    explicit HeroSavePart(Hero& hero);
    HeroSavePart();
    ~HeroSavePart() override;
    bool Write(ByteWriter& out) const override;
    bool Read(SaveStream& in) override;
    std::unique_ptr<SavePartObject> MakeFresh() const override;

private:
    std::unique_ptr<Hero> owned_;
    Hero* hero_;
};

// The objects of the running game that a save holds, and what it needs to
// write and read them.
struct SaveGameState {
    MapState& map;
    MainEventInterpreter& interpreter;
    VariableStore& variables;
    SavePartObject& hero;
    PictureList& pictures;
    DatabaseSet& databases;
    // The game's title (the identity of its saves), as the game's
    // information holds it.
    const std::string& title;
    // 16 or 32: a fresh main interpreter's layout numbers follow it.
    int chipSize = 32;
};

struct SaveSnapshot {
    SaveSnapshot(int chipSize, DatabaseSet* databases);
    SaveSnapshot(const SaveSnapshot&) = delete;
    SaveSnapshot& operator=(const SaveSnapshot&) = delete;

    std::vector<uint8_t> mapPart;
    MainEventInterpreter interpreter;
    // Linked to the interpreter above.
    VariableStore variables;
    std::vector<uint8_t> heroPart;
    std::vector<uint8_t> picturePart;
    Database changeable;
    // The replay record the save carries: the live game's when it was
    // saved, or the one its file holds. A snapshot without one (a fresh
    // game's, or a file that carries none) writes none; read for its replay
    // it plays the fresh record, which holds only its seed.
    ReplayRecorder replay;
    bool replayRecorded = false;
};

// "Save\SaveData03.sav" for slot 3 and that prefix; slot 0 names the prefix
// itself. A path of the game folder.
std::string SaveFilePath(int32_t slot, const std::string& prefix);

// The parts of a freshly built game: no map, a fresh hero, no pictures.
void FillFreshParts(SaveSnapshot& snapshot, const SaveGameState& state);
// The parts that are kept as bytes, from the live game. False when a part
// cannot be written (too many pictures).
bool CopyLiveParts(SaveSnapshot& snapshot, const SaveGameState& state);

// The whole file of a snapshot. Seeds of all zero leave the body plain.
std::optional<std::vector<uint8_t>> BuildSaveFile(SaveSnapshot& snapshot, const std::string& title,
                                                  const DatabaseSet& databases, const ContainerSeeds& seeds);
// Three seeds and the header's filler from the C runtime generator, seeded
// with the wall time, as the saves of the original program have them.
ContainerSeeds DrawSaveSeeds();

enum class SaveReadStatus {
    kAccepted,
    // The file ends before its first marker or its identity, or before the
    // closing marker: refused without a message.
    kShort,
    // A wrong marker, a part that does not read, too many bytes left over,
    // or a sum that does not match.
    kDamaged,
    // Another game's save.
    kForeign,
};

struct SaveReadResult {
    SaveReadStatus status = SaveReadStatus::kDamaged;
    // The title a foreign save carries.
    std::string foreignTitle;
    uint16_t version = 0;
    // The snapshot read (accepted saves only).
    std::unique_ptr<SaveSnapshot> snapshot;
    // The plain file, and where its map part starts, for the live read.
    std::vector<uint8_t> plain;
    size_t partsStart = 0;
};

// Reads and verifies a whole save file into a new snapshot; nothing of the
// live game changes (the map part is checked against its map file into a
// scratch map).
SaveReadResult ReadSaveFile(std::vector<uint8_t> file, const SaveGameState& state);

// The changeable database's part.
void WriteDatabasePart(ByteWriter& out, Database& database);
// Reads it into `database` (types only; the definitions are the caller's).
bool ReadDatabasePart(SaveStream& in, Database& database);

}  // namespace velk
