#include "game/data/variable_store.h"

#include <algorithm>

#include "game/data/data_texts.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/game_objects.h"
#include "game/data/game_owners.h"
#include "game/data/random_source.h"
#include "game/data/text_format.h"

namespace velk {
namespace {

constexpr size_t kGroupCount = 10;
constexpr size_t kCommonSelfIntSlots = 100;
constexpr size_t kCommonSelfStringSlots = 5;
// System-database types 14-23 give the sizes of the variable groups, when
// the database has more than 15 types.
constexpr int32_t kFirstGroupSizeType = 14;
constexpr int32_t kGroupSizesNeedTypes = 15;
// Self variables are kept per map id and grow to whatever map a write names,
// listed in the system database or not. Only ids that no storage could hold
// sensibly are refused: below this bound the empty entries cost at most some
// 25 MB and 4 MB of a save, far beyond any game's maps.
constexpr int32_t kMapIdBound = 1 << 20;

void ShowError(const std::string& line1, const std::string& line2, const std::string& line3) {
    ActiveErrorReporter().ShowErrorBox(line1, line2, line3);
}

template <typename T>
bool InRange(int32_t index, const std::vector<T>& list) {
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

std::string GroupLabel(int32_t group, int32_t index) {
    std::string label = group == 0 ? std::string(texts::kNormalVariable)
                                   : std::string(texts::kSpareVariable) + FormatText("%d", group);
    return label + FormatText(" %d", index);
}

int32_t Wrapped(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

size_t heldStringLimit = kMaxHeldStringBytes;

}  // namespace

size_t HeldStringLimit() { return heldStringLimit; }
void SetHeldStringLimit(size_t bytes) { heldStringLimit = bytes; }

void ShowHeldStringLimitReached(int32_t target) {
    ShowError(FormatText(texts::kStringTooLong, static_cast<int>(std::min<size_t>(heldStringLimit, INT32_MAX))),
              FormatErrorLocation(), FormatText(texts::kStoreTarget, target));
}

size_t StringHeapBytes(size_t capacity) { return capacity > std::string().capacity() ? capacity + 1 : 0; }

VariableStore::VariableStore(MainInterpreterLink* interpreter, DatabaseSet* databases)
    : interpreter_(interpreter), databases_(databases ? databases : &GlobalDatabases()) {
    Resize();
}

void VariableStore::Resize() {
    mapOverride_ = -1;
    contents_ = VariableStoreContents();
    size_t commonEvents = static_cast<size_t>(std::max(0, ActiveGameOwners().events->CommonEventCount()));
    contents_.commonSelfInts.assign(commonEvents, std::vector<int32_t>(kCommonSelfIntSlots, 0));
    contents_.commonSelfStrings.assign(commonEvents, std::vector<std::string>(kCommonSelfStringSlots));
    contents_.groups.assign(kGroupCount, {});
    const Database& system = databases_->system;
    if (system.GetTypeCount() > kGroupSizesNeedTypes) {
        for (size_t group = 0; group < kGroupCount; ++group) {
            int32_t rows = system.GetDataCount(kFirstGroupSizeType + static_cast<int32_t>(group));
            contents_.groups[group].assign(static_cast<size_t>(std::max(rows, 0)), 0);
        }
    }
    heldStringBytes_ = CountHeldStringBytes();
}

size_t VariableStore::CountHeldStringBytes() const {
    size_t bytes = 0;
    auto add = [&bytes](const std::vector<std::string>& strings) {
        for (const std::string& text : strings)
            bytes += StringHeapBytes(text.capacity());
    };
    add(contents_.strings);
    for (const auto& strings : contents_.commonSelfStrings)
        add(strings);
    for (const DbTypeData& type : databases_->changeable.types) {
        for (const DbRow& row : type.rows)
            add(row.strings);
    }
    return bytes;
}

size_t VariableStore::HeldAfter(size_t replaced, size_t added) const {
    return heldStringBytes_ - std::min(replaced, heldStringBytes_) + added;
}

bool VariableStore::MayHold(VariableId id, size_t replaced, size_t added) {
    if (added <= replaced || HeldAfter(replaced, added) <= heldStringLimit) return true;
    // Strings cut or replaced outside the store may have freed some.
    heldStringBytes_ = CountHeldStringBytes();
    if (HeldAfter(replaced, added) <= heldStringLimit) return true;
    ShowHeldStringLimitReached(id);
    return false;
}

void VariableStore::StoreHeld(VariableId id, std::string& slot, std::string value) {
    const size_t replaced = StringHeapBytes(slot.capacity());
    const size_t added = StringHeapBytes(value.capacity());
    if (!MayHold(id, replaced, added)) return;
    // Swapped in whole, so that a short text does not keep a long one's
    // memory.
    std::string(std::move(value)).swap(slot);
    heldStringBytes_ = HeldAfter(replaced, added);
}

void VariableStore::GrowCommonSelfVariables(int32_t count) {
    const size_t wanted = static_cast<size_t>(std::max(count, 0));
    VariableStoreContents& c = contents_;
    if (c.commonSelfInts.size() < wanted) {
        c.commonSelfInts.resize(wanted, std::vector<int32_t>(kCommonSelfIntSlots, 0));
        AdvanceIntSlotGeneration();
    }
    if (c.commonSelfStrings.size() < wanted) {
        c.commonSelfStrings.resize(wanted, std::vector<std::string>(kCommonSelfStringSlots));
    }
}

int32_t VariableStore::TakeMapOverride() {
    int32_t map = mapOverride_ >= 0 ? mapOverride_ : ActiveGameOwners().map->CurrentMapId();
    mapOverride_ = -1;
    return map;
}

Database& VariableStore::DatabaseOf(DatabaseKind kind, Database* changeableStandIn) const {
    switch (kind) {
        case DatabaseKind::kUser:
            return databases_->user;
        case DatabaseKind::kChangeable:
            return changeableStandIn ? *changeableStandIn : databases_->changeable;
        case DatabaseKind::kSystem:
            break;
    }
    return databases_->system;
}

bool VariableStore::GrowToHold(Database& database, int32_t type, int32_t data) {
    if (database.GetDataCount(type) <= data) database.SetDataCount(type, data + 1);
    return type >= 0 && type < database.GetTypeCount();
}


int32_t VariableStore::GetInt(VariableId id, int32_t, Database* db) {
    VariableAddress address = DecodeVariableId(id);
    if (id >= kUserDatabaseBase) {
        if (address.kind != VariableKind::kDatabaseCell) return 0;
        Database& database = DatabaseOf(address.database, db);
        if (address.database == DatabaseKind::kChangeable && !db) GrowToHold(database, address.owner, address.index);
        return database.GetInt(address.owner, address.index, address.item);
    }
    int32_t map = TakeMapOverride();
    VariableStoreContents& c = contents_;
    switch (address.kind) {
        case VariableKind::kOldCommonSelf:
            ShowError(texts::kReadOldCommonSelf, FormatErrorLocation(), "");
            return 0;
        case VariableKind::kLiteral:
            return id;
        case VariableKind::kMapSelf:
            // With no map in force (and none given) there is no slot to read.
            if (InRange(map, c.selfVariables) && InRange(address.owner, c.selfVariables[map]) &&
                InRange(address.index, c.selfVariables[map][address.owner])) {
                return c.selfVariables[map][address.owner][address.index];
            }
            return 0;
        case VariableKind::kCommonSelf:
            if (!IsCommonSelfStringSlot(address.index) && InRange(address.owner, c.commonSelfInts) &&
                InRange(address.index, c.commonSelfInts[address.owner])) {
                return c.commonSelfInts[address.owner][address.index];
            }
            return 0;
        case VariableKind::kVariable:
            if (InRange(address.owner, c.groups) && InRange(address.index, c.groups[address.owner])) {
                return c.groups[address.owner][address.index];
            }
            return 0;
        case VariableKind::kString:
            ShowError(FormatText(texts::kReadStringAsInt, id), FormatErrorLocation(), "");
            return -1;
        case VariableKind::kRandom:
            return static_cast<int32_t>(UpdateRandomSeed(0, 0) % (static_cast<uint32_t>(address.index) + 1));
        case VariableKind::kSystem:
            return GetSystemVariable(address.index);
        case VariableKind::kMapEventData:
        case VariableKind::kPartyData:
            return ReadCharacter(address);
        default:
            return 0;
    }
}

int32_t VariableStore::ReadCharacter(const VariableAddress& address) {
    MapOwner& map = *ActiveGameOwners().map;
    bool event = address.kind == VariableKind::kMapEventData;
    auto read = [&](CharacterField field, int32_t& value) {
        return event ? map.ReadEventField(address.owner, field, value)
                     : map.ReadMemberField(address.owner, field, value);
    };
    // A missing map event reads 0, a missing party member -1; the hero is
    // always there.
    int32_t missing = (!event && address.owner > 0) ? -1 : 0;
    int32_t value = 0;
    switch (address.index) {
        case kFieldTileX:
            return read(CharacterField::kHalfTileX, value) ? value / 2 : missing;
        case kFieldTileY:
            return read(CharacterField::kHalfTileY, value) ? value / 2 : missing;
        case kFieldHalfTileX:
            return read(CharacterField::kHalfTileX, value) ? value : missing;
        case kFieldHalfTileY:
            return read(CharacterField::kHalfTileY, value) ? value : missing;
        case kFieldHeight:
            return read(CharacterField::kHeight, value) ? value : missing;
        default:
            return read(CharacterField::kHalfTileX, value) ? 0 : missing;
    }
}

void VariableStore::WriteCharacter(const VariableAddress& address, int32_t value) {
    MapOwner& map = *ActiveGameOwners().map;
    auto write = [&](CharacterField field, int32_t stored) {
        if (address.kind == VariableKind::kMapEventData) {
            map.WriteEventField(address.owner, field, stored);
        } else {
            map.WriteMemberField(address.owner, field, stored);
        }
    };
    switch (address.index) {
        case kFieldTileX:
            write(CharacterField::kHalfTileX, Wrapped(int64_t{value} * 2));
            break;
        case kFieldTileY:
            write(CharacterField::kHalfTileY, Wrapped(int64_t{value} * 2));
            break;
        case kFieldHalfTileX:
            write(CharacterField::kHalfTileX, value);
            break;
        case kFieldHalfTileY:
            write(CharacterField::kHalfTileY, value);
            break;
        case kFieldHeight:
            write(CharacterField::kHeight, value);
            break;
        default:
            break;
    }
}

void VariableStore::SetChangeableInt(VariableId id, const VariableAddress& address, int32_t value, Database* db) {
    Database& database = DatabaseOf(DatabaseKind::kChangeable, db);
    if (!GrowToHold(database, address.owner, address.index)) return;
    if (!database.SetInt(address.owner, address.index, address.item, value)) {
        ShowError(texts::kIntIntoChangeableString, FormatErrorLocation(), FormatText(texts::kStoreTarget, id));
    }
}

void VariableStore::SetInt(VariableId id, int32_t value, Database* db) {
    if (id >= kChangeableDatabaseBase) {
        VariableAddress address = DecodeVariableId(id);
        if (address.kind == VariableKind::kDatabaseCell && address.database == DatabaseKind::kChangeable) {
            SetChangeableInt(id, address, value, db);
        } else {
            ShowError(FormatText(texts::kIntNotStorable, id, value), FormatErrorLocation(), "");
        }
        return;
    }
    int32_t map = TakeMapOverride();
    VariableAddress address = DecodeVariableId(id);
    VariableStoreContents& c = contents_;
    switch (address.kind) {
        case VariableKind::kMapSelf: {
            // Without a map there is no slot.
            if (map < 0 || map >= kMapIdBound) break;
            if (c.selfVariables.size() <= static_cast<size_t>(map)) c.selfVariables.resize(map + 1);
            auto& events = c.selfVariables[map];
            if (events.size() <= static_cast<size_t>(address.owner)) events.resize(address.owner + 1);
            auto& slots = events[address.owner];
            if (slots.size() <= static_cast<size_t>(address.index)) slots.resize(address.index + 1, 0);
            slots[address.index] = value;
            break;
        }
        case VariableKind::kCommonSelf:
            if (IsCommonSelfStringSlot(address.index)) {
                ShowError(texts::kIntIntoCommonSelfString, "", "");
            } else if (InRange(address.owner, c.commonSelfInts) &&
                       InRange(address.index, c.commonSelfInts[address.owner])) {
                c.commonSelfInts[address.owner][address.index] = value;
            }
            break;
        case VariableKind::kVariable:
            SetVariable(address, id, value);
            break;
        case VariableKind::kSystem:
            SetSystemVariable(address.index, value);
            break;
        case VariableKind::kMapEventData:
        case VariableKind::kPartyData:
            WriteCharacter(address, value);
            break;
        case VariableKind::kLiteral:
            ShowError(FormatText(texts::kWriteBelowMillion, id), FormatErrorLocation(), "");
            break;
        case VariableKind::kOldCommonSelf:
            ShowError(texts::kWriteOldCommonSelf, FormatErrorLocation(), "");
            break;
        default:
            break;
    }
}

void VariableStore::SetVariable(const VariableAddress& address, VariableId id, int32_t value) {
    auto& groups = contents_.groups;
    if (InRange(address.owner, groups) && InRange(address.index, groups[address.owner])) {
        groups[address.owner][address.index] = value;
        return;
    }
    ShowError(FormatErrorLocation(), texts::kVariableAreaMissing, GroupLabel(address.owner, address.index));
}

std::string VariableStore::GetString(VariableId id, int32_t, Database* db) {
    VariableAddress address = DecodeVariableId(id);
    const VariableStoreContents& c = contents_;
    switch (address.kind) {
        case VariableKind::kOldCommonSelf:
            ShowError(texts::kReadOldCommonSelf, FormatErrorLocation(), "");
            return texts::kErrorValue;
        case VariableKind::kCommonSelf: {
            int32_t slot = address.index - 5;
            if (!IsCommonSelfStringSlot(address.index)) return texts::kErrorValue;
            if (InRange(address.owner, c.commonSelfStrings) && InRange(slot, c.commonSelfStrings[address.owner])) {
                return c.commonSelfStrings[address.owner][slot];
            }
            return std::string();
        }
        case VariableKind::kString:
            return InRange(address.index, c.strings) ? c.strings[address.index] : std::string();
        case VariableKind::kSystemString:
            return GetSystemString(address.index);
        case VariableKind::kDatabaseCell: {
            Database& database = DatabaseOf(address.database, db);
            if (address.database == DatabaseKind::kChangeable && !db) {
                GrowToHold(database, address.owner, address.index);
            }
            return database.GetString(address.owner, address.index, address.item);
        }
        default:
            return texts::kErrorValue;
    }
}

void VariableStore::SetChangeableString(VariableId id, const VariableAddress& address, const std::string& value,
                                        Database* db) {
    Database& database = DatabaseOf(DatabaseKind::kChangeable, db);
    if (!GrowToHold(database, address.owner, address.index)) return;
    const std::string* cell = database.FindStringCell(address.owner, address.index, address.item);
    const size_t replaced = cell ? StringHeapBytes(cell->capacity()) : 0;
    const size_t added = cell ? StringHeapBytes(value.size()) : 0;
    if (!MayHold(id, replaced, added)) return;
    if (!database.SetString(address.owner, address.index, address.item, value)) {
        ShowError(db ? texts::kStringIntoChangeableNumber : texts::kStringIntoDbNumber, FormatErrorLocation(),
                  FormatText(texts::kStoreTarget, id));
        return;
    }
    heldStringBytes_ = HeldAfter(replaced, added);
}

void VariableStore::SetString(VariableId id, std::string value, Database* db) {
    TakeMapOverride();
    if (value.size() > kMaxStringLength) {
        // Doubling a string a few dozen times would take every byte of the
        // machine: the store keeps what it had and the game goes on.
        ShowStringTooLong(id);
        return;
    }
    VariableAddress address = DecodeVariableId(id);
    VariableStoreContents& c = contents_;
    switch (address.kind) {
        case VariableKind::kOldCommonSelf:
            ShowError(texts::kWriteStringOldCommonSelf, FormatErrorLocation(), "");
            return;
        case VariableKind::kCommonSelf: {
            if (!IsCommonSelfStringSlot(address.index)) {
                ShowError(texts::kStringIntoCommonSelfInt, FormatErrorLocation(), FormatText(texts::kStoreTarget, id));
                return;
            }
            size_t common = static_cast<size_t>(address.owner);
            size_t slot = static_cast<size_t>(address.index - 5);
            if (c.commonSelfStrings.size() <= common) c.commonSelfStrings.resize(common + 1);
            auto& strings = c.commonSelfStrings[common];
            if (strings.size() <= slot) strings.resize(slot + 1);
            StoreHeld(id, strings[slot], std::move(value));
            return;
        }
        case VariableKind::kString:
            if (c.strings.size() <= static_cast<size_t>(address.index)) c.strings.resize(address.index + 1);
            StoreHeld(id, c.strings[address.index], std::move(value));
            return;
        case VariableKind::kSystemString:
            SetSystemString(address.index, value);
            return;
        case VariableKind::kDatabaseCell:
            if (address.database == DatabaseKind::kChangeable) {
                SetChangeableString(id, address, value, db);
                return;
            }
            break;
        default:
            break;
    }
    ShowError(FormatText(texts::kStringNotStorable, id, value.c_str()), FormatErrorLocation(), "");
}

void ShowStringTooLong(VariableId id) {
    ShowError(FormatText(texts::kStringTooLong, static_cast<int>(kMaxStringLength)), FormatErrorLocation(),
              FormatText(texts::kStoreTarget, id));
}

bool VariableStore::IsIntId(VariableId id) const {
    if (id >= kRelativeCommonSelfBase + 5 && id <= kRelativeCommonSelfBase + 9) return false;
    VariableAddress address = DecodeVariableId(id);
    switch (address.kind) {
        case VariableKind::kString:
        case VariableKind::kSystemString:
            return false;
        case VariableKind::kCommonSelf:
            return !IsCommonSelfStringSlot(address.index);
        case VariableKind::kDatabaseCell:
            return DatabaseOf(address.database, nullptr).GetItemKindClass(address.owner, address.item) ==
                   kNumberItemClass;
        default:
            return true;
    }
}

int32_t* VariableStore::ResolveIntPointer(VariableId id, int32_t commonIndex) {
    VariableAddress address = DecodeVariableId(id);
    VariableStoreContents& c = contents_;
    switch (address.kind) {
        case VariableKind::kDatabaseCell:
            return DatabaseOf(address.database, nullptr)
                .GetIntPtr(address.owner, address.index, address.item, true);
        case VariableKind::kVariable:
            if (InRange(address.owner, c.groups) && InRange(address.index, c.groups[address.owner])) {
                return &c.groups[address.owner][address.index];
            }
            return nullptr;
        case VariableKind::kRelativeCommonSelf:
            if (commonIndex < 0 || id > kRelativeCommonSelfBase + 99 || IsCommonSelfStringSlot(address.index)) {
                return nullptr;
            }
            if (InRange(commonIndex, c.commonSelfInts) && InRange(address.index, c.commonSelfInts[commonIndex])) {
                return &c.commonSelfInts[commonIndex][address.index];
            }
            return nullptr;
        case VariableKind::kCommonSelf:
            if (commonIndex < 0 || IsCommonSelfStringSlot(address.index)) return nullptr;
            if (InRange(address.owner, c.commonSelfInts) &&
                InRange(address.index, c.commonSelfInts[address.owner])) {
                return &c.commonSelfInts[address.owner][address.index];
            }
            return nullptr;
        default:
            return nullptr;
    }
}

VariableStore& GlobalVariableStore() {
    if (VariableStore* installed = InstalledGameObjects().variableStore) return *installed;
    static VariableStore store;
    return store;
}

}  // namespace velk
