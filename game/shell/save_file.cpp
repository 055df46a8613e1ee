#include "game/shell/save_file.h"

#include <algorithm>
#include <cstdio>

#include "game/data/byte_writer.h"
#include "game/data/databases.h"
#include "game/data/save_stream.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/present/picture_list.h"
#include "platform/base/clock.h"
#include "platform/base/crt_random.h"

namespace velk {
namespace {

constexpr size_t kHeaderLength = 20;
constexpr uint8_t kMarker = 25;
constexpr uint8_t kDatabaseTag = 111;
// Longest title (with its zero byte) a save's identity may carry.
constexpr int kMaxTitleBytes = 512;
// Bytes a save may carry after its parts before it counts as damaged.
constexpr size_t kAllowedSlack = 200;
// The smallest changeable-database type: marker, source, two zero counts.
constexpr size_t kSmallestDatabaseType = 16;
// System database types whose row counts the interpreter's part needs.
constexpr int32_t kMusicType = 1;
constexpr int32_t kBackgroundSoundType = 2;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

// A part as it stands in the file when the file is of the current form, else
// as its reader's object writes it now.
template <typename Rewrite>
std::optional<std::vector<uint8_t>> PartBytes(const SaveStream& in, size_t start, Rewrite rewrite) {
    if (in.version == SaveStream::kCurrentVersion) return Slice(in.Bytes(), start, in.Position());
    ByteWriter out;
    if (!rewrite(out)) return std::nullopt;
    return out.Bytes();
}

int32_t ItemClassCount(const std::vector<int32_t>& kinds, int32_t itemClass) {
    int32_t count = 0;
    for (int32_t kind : kinds) count += kind / 1000 == itemClass ? 1 : 0;
    return count;
}

bool ReadInto(std::optional<int32_t> value, int32_t& into) {
    if (value) into = *value;
    return value.has_value();
}

}  // namespace

HeroSavePart::HeroSavePart(Hero& hero) : hero_(&hero) {}
HeroSavePart::HeroSavePart() : owned_(std::make_unique<Hero>()), hero_(owned_.get()) {}
HeroSavePart::~HeroSavePart() = default;

bool HeroSavePart::Write(ByteWriter& out) const {
    hero_->WriteSave(out);
    return true;
}

bool HeroSavePart::Read(SaveStream& in) {
    *hero_ = Hero();
    return hero_->ReadSave(in);
}

std::unique_ptr<SavePartObject> HeroSavePart::MakeFresh() const { return std::make_unique<HeroSavePart>(); }

SaveSnapshot::SaveSnapshot(int chipSize, DatabaseSet* databases)
    : interpreter(chipSize), variables(&interpreter, databases) {}

std::string SaveFilePath(int32_t slot, const std::string& prefix) {
    if (slot == 0) return prefix;
    char number[16];
    std::snprintf(number, sizeof number, "%.2i", static_cast<int>(slot));
    return prefix + number + ".sav";
}

void FillFreshParts(SaveSnapshot& snapshot, const SaveGameState& state) {
    ByteWriter map;
    MapState(state.map.settings).WriteSave(map);
    snapshot.mapPart = map.Bytes();
    ByteWriter hero;
    state.hero.MakeFresh()->Write(hero);
    snapshot.heroPart = hero.Bytes();
    ByteWriter pictures;
    pictures.WriteU16(0);
    snapshot.picturePart = pictures.Bytes();
}

bool CopyLiveParts(SaveSnapshot& snapshot, const SaveGameState& state) {
    ByteWriter map, hero, pictures;
    if (!state.map.WriteSave(map) || !state.hero.Write(hero) || !state.pictures.WriteSave(pictures)) return false;
    snapshot.mapPart = map.Bytes();
    snapshot.heroPart = hero.Bytes();
    snapshot.picturePart = pictures.Bytes();
    return true;
}

void WriteDatabasePart(ByteWriter& out, Database& database) {
    out.WriteU8(kDatabaseTag);
    out.WriteU32(static_cast<uint32_t>(database.types.size()));
    for (DbTypeData& type : database.types) {
        type.marker = -2;
        out.WriteI32(type.marker);
        out.WriteI32(type.dataNameSource);
        out.WriteU32(static_cast<uint32_t>(type.itemKinds.size()));
        for (int32_t kind : type.itemKinds) out.WriteI32(kind);
        const size_t numbers = static_cast<size_t>(ItemClassCount(type.itemKinds, kNumberItemClass));
        const size_t strings = static_cast<size_t>(ItemClassCount(type.itemKinds, kStringItemClass));
        out.WriteU32(static_cast<uint32_t>(type.rows.size()));
        for (const DbRow& row : type.rows) {
            // A row always gives as many values as its type's items ask for.
            for (size_t i = 0; i < numbers; ++i) out.WriteI32(i < row.numbers.size() ? row.numbers[i] : 0);
            for (size_t i = 0; i < strings; ++i) out.WriteString(i < row.strings.size() ? row.strings[i] : "");
        }
    }
}

bool ReadDatabasePart(SaveStream& in, Database& database) {
    if (!in.ReadU8()) return false;
    auto typeCount = in.ReadU32();
    if (!typeCount || !in.CanHold(*typeCount, kSmallestDatabaseType)) return false;
    // Rows of a type without number or string items take no bytes; their
    // count over the whole part is held as a database file's is.
    uint64_t emptyRows = 0;
    std::vector<DbTypeData> types(*typeCount);
    for (DbTypeData& type : types) {
        int32_t first = 0;
        if (!ReadInto(in.ReadI32(), first)) return false;
        type.marker = -2;
        type.dataNameSource = 0;
        if (first <= -2 && !ReadInto(in.ReadI32(), type.dataNameSource)) return false;
        uint32_t itemCount = static_cast<uint32_t>(first);
        if (first < 0) {
            type.marker = first;
            auto count = in.ReadU32();
            if (!count) return false;
            itemCount = *count;
        }
        if (!in.CanHold(itemCount, 4)) return false;
        type.itemKinds.assign(itemCount, 0);
        for (int32_t& kind : type.itemKinds) kind = *in.ReadI32();
        const size_t numbers = static_cast<size_t>(ItemClassCount(type.itemKinds, kNumberItemClass));
        const size_t strings = static_cast<size_t>(ItemClassCount(type.itemKinds, kStringItemClass));
        auto rowCount = in.ReadU32();
        if (!rowCount) return false;
        if (numbers + strings == 0) {
            emptyRows += *rowCount;
            if (emptyRows > kMaxRowsWithoutItems) {
                in.errorFlag = true;
                return false;
            }
        } else if (!in.CanHold(*rowCount, (numbers + strings) * 4)) {
            return false;
        }
        type.rows.assign(*rowCount, DbRow{{}, {}});
        for (DbRow& row : type.rows) {
            row.numbers.assign(numbers, 0);
            row.strings.assign(strings, std::string());
            for (int32_t& value : row.numbers) {
                if (!ReadInto(in.ReadI32(), value)) return false;
            }
            for (std::string& text : row.strings) {
                auto read = in.ReadString();
                if (!read) return false;
                text = std::move(*read);
            }
        }
    }
    database.types = std::move(types);
    return true;
}

std::optional<std::vector<uint8_t>> BuildSaveFile(SaveSnapshot& snapshot, const std::string& title,
                                                  const DatabaseSet& databases, const ContainerSeeds& seeds) {
    SaveStream stream;
    ByteWriter& out = stream.Writer();
    out.WriteBytes(std::vector<uint8_t>(kHeaderLength, 0));
    out.WriteU8(kMarker);
    out.WriteShortString(title);
    out.WriteU16(SaveStream::kCurrentVersion);
    out.WriteBytes(snapshot.mapPart);
    snapshot.interpreter.WriteSave(stream, databases.system.GetDataCount(kMusicType),
                                   databases.system.GetDataCount(kBackgroundSoundType));
    if (!snapshot.variables.WriteSave(stream)) return std::nullopt;
    out.WriteBytes(snapshot.heroPart);
    out.WriteBytes(snapshot.picturePart);
    WriteDatabasePart(out, snapshot.changeable);
    if (snapshot.replayRecorded) {
        snapshot.replay.WriteSavePart(stream);
    } else {
        out.WriteU8(0);
    }
    out.WriteU8(kMarker);
    snapshot.interpreter.systemVariables.sysVar24 = 1;

    std::vector<uint8_t>& file = out.MutableBytes();
    SealContainer(file, kMapFileLayout, seeds);
    // The rest of the header is filler drawn from the generator the
    // scrambling left; readers never look at it.
    for (size_t i = 0; i < kHeaderLength; ++i) {
        const uint8_t filler = static_cast<uint8_t>((platform::CrtRand() & 0xFF00) >> 8);
        if (i == 0 || i == 2 || i == 3 || i == 9) continue;
        file[i] = (i == 6 || i == 8) ? 0 : filler;
    }
    return std::move(file);
}

ContainerSeeds DrawSaveSeeds() {
    platform::CrtSrand(static_cast<uint32_t>(platform::ActiveClock().WallSeconds()));
    ContainerSeeds seeds{};
    auto draw = [&seeds] {
        for (uint8_t& seed : seeds) seed = static_cast<uint8_t>((platform::CrtRand() & 0xFF0) >> 4);
    };
    draw();
    if (seeds[0] == 0 && seeds[1] == 0 && seeds[2] == 0) draw();
    return seeds;
}

SaveReadResult ReadSaveFile(std::vector<uint8_t> file, const SaveGameState& state) {
    SaveReadResult result;
    if (file.size() <= kHeaderLength) {
        result.status = SaveReadStatus::kShort;
        return result;
    }
    const OpenedContainer opened = *UnscrambleContainer(file, kMapFileLayout);
    if (file[kHeaderLength] != kMarker) return result;

    // The identity: a 16-bit length, the title with its zero byte, the version.
    size_t at = kHeaderLength + 1;
    auto remaining = [&file, &at] { return file.size() - at; };
    if (remaining() < 2) {
        result.status = SaveReadStatus::kShort;
        return result;
    }
    const auto titleBytes = static_cast<int16_t>(file[at] | file[at + 1] << 8);
    at += 2;
    if (titleBytes < 1 || titleBytes > kMaxTitleBytes) return result;
    if (remaining() < static_cast<size_t>(titleBytes) + 2) {
        result.status = SaveReadStatus::kShort;
        return result;
    }
    const auto* titleStart = reinterpret_cast<const char*>(file.data() + at);
    std::string title(titleStart, std::find(titleStart, titleStart + titleBytes, '\0'));
    at += static_cast<size_t>(titleBytes);
    const auto version = static_cast<uint16_t>(file[at] | file[at + 1] << 8);
    at += 2;
    result.version = version;
    if (title != state.title) {
        result.status = SaveReadStatus::kForeign;
        result.foreignTitle = std::move(title);
        return result;
    }
    SaveStream in(std::move(file), at);
    in.version = version;

    auto snapshot = std::make_unique<SaveSnapshot>(state.chipSize, &state.databases);
    result.partsStart = in.Position();

    size_t start = in.Position();
    MapState map(state.map.settings);
    if (!map.ReadSave(in, false)) return result;
    auto mapPart = PartBytes(in, start, [&map](ByteWriter& out) { return map.WriteSave(out); });

    if (!snapshot->interpreter.ReadSave(in) || !snapshot->variables.ReadSave(in, false)) return result;

    start = in.Position();
    std::unique_ptr<SavePartObject> hero = state.hero.MakeFresh();
    if (!hero->Read(in)) return result;
    auto heroPart = PartBytes(in, start, [&hero](ByteWriter& out) { return hero->Write(out); });

    start = in.Position();
    PictureList pictures = state.pictures;
    pictures.Clear(false);
    if (!pictures.ReadSave(in, false)) return result;
    auto picturePart = PartBytes(in, start, [&pictures](ByteWriter& out) { return pictures.WriteSave(out); });

    if (!ReadDatabasePart(in, snapshot->changeable)) return result;
    snapshot->changeable.typeDefs = state.databases.changeable.typeDefs;
    snapshot->changeable.namesKept = state.databases.changeable.namesKept;

    // A flag other than 1 leaves the snapshot's fresh record.
    const size_t replayAt = in.Position();
    if (!snapshot->replay.ReadSavePart(in)) return result;
    snapshot->replayRecorded = in.Bytes()[replayAt] == ReplayRecorder::kRecordFollows;
    if (in.errorFlag || !mapPart || !heroPart || !picturePart) return result;
    if (in.Position() + kAllowedSlack < in.Bytes().size()) return result;
    auto closing = in.ReadU8();
    if (!closing) {
        result.status = SaveReadStatus::kShort;
        return result;
    }
    if (*closing != kMarker) return result;
    if (!ContainerSumMatches(in.Bytes(), kMapFileLayout, opened, in.Position())) return result;

    snapshot->mapPart = std::move(*mapPart);
    snapshot->heroPart = std::move(*heroPart);
    snapshot->picturePart = std::move(*picturePart);
    snapshot->interpreter.systemVariables.sysVar24 = 1;
    result.snapshot = std::move(snapshot);
    result.plain = in.Bytes();
    result.status = SaveReadStatus::kAccepted;
    return result;
}

}  // namespace velk
