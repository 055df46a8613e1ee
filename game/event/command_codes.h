#pragma once
// Every command code of the event language. Argument 0 of an event command
// is one of these; the table of handlers is indexed by them.

#include <cstdint>

namespace velk {

enum class CommandCode : int32_t {
    kEndOfList = -1,
    kMessage = 101,
    kChoices = 102,
    kSetChoiceCloseFlag = 104,
    kCloseMessage = 105,
    kConditionBranch = 111,
    kStringConditionBranch = 112,
    kVariableOperation = 121,
    kStringOperation = 122,
    kKeyInput = 123,
    kAssignGameValue = 124,
    kMoveLocation = 130,
    kSound = 140,
    kSpeech = 141,
    kPicture = 150,
    kScreenColor = 151,
    kSetTransition = 160,
    kPrepareTransition = 161,
    kExecuteTransition = 162,
    kLoopStart = 170,
    kBreakLoop = 171,
    kEndEvent = 172,
    kEraseEvent = 173,
    kReturnToTitle = 174,
    kQuitGame = 175,
    kContinueLoop = 176,
    kFreezeScreen = 177,
    kUnfreezeScreen = 178,
    kLoopCount = 179,
    kWait = 180,
    kSetMoveRoute = 201,
    kWaitForMoveRoutes = 202,
    kCallEvent = 210,
    kReserveEvent = 211,
    kLabel = 212,
    kJumpToLabel = 213,
    kSaveLoad = 220,
    kReadSaveValue = 221,
    kWriteSaveValue = 222,
    kAllowMovementInEvent = 230,
    kStopMovementInEvent = 231,
    kSetTilePassability = 240,
    kChangeTileset = 241,
    kChangeMapTiles = 242,
    kDatabaseOperation = 250,
    kDownload = 260,
    kPartyOperation = 270,
    kShakeScreen = 280,
    kScrollScreen = 281,
    kEffect = 290,
    kCallCommonEventByName = 300,
    kCaseHead = 401,
    kCaseHeadPlain = 402,
    kElseHead = 420,
    kElseHeadPlain = 421,
    kLoopEnd = 498,
    kBranchEnd = 499,

    // Written into prepared common-event lists only: a variable operation on
    // plain integer slots, 210000 + 10 x assignment + operation (assignment
    // 0 =, 1 +=, 2 -=, 3 *=; operation 0 +, 1 -, 2 x).
    kFastArithmeticFirst = 210000,
    kFastArithmeticLast = 210032,
    // Jump to jump-data entry 1; counted loop end with its head there.
    kFastJump = 498000,
    kFastLoopEnd = 498001,
};

// The table's codes run from -1 to this.
inline constexpr int32_t kLargestTableCode = 499;

inline constexpr int32_t CodeValue(CommandCode code) { return static_cast<int32_t>(code); }

// Loop ends in all their forms (498, 498000, 498001).
inline constexpr bool IsLoopEndCode(int32_t code) { return code == 498 || code / 1000 == 498; }

}  // namespace velk
