#include "game/data/game_system.h"

#include <algorithm>

#include "game/data/databases.h"

namespace velk {

void GameSystem::ResetRequests() {
    messageRequest.clear();
    choiceCount = 0;
    choiceCancelValue = 0;
    choiceOptions = 0;
    reservedCommonEvent = -1;
    windowBusy = 0;
    closeMessageRequest = 0;
    choiceItemValue = -1;
    scrollWaitFlag = 0;
    closeChoicesRequest = 0;
}

void GameSystem::CountSoundSpares(const DatabaseSet& databases) {
    for (int kind = 0; kind < kSoundKindCount; ++kind) {
        // A type without rows counts -1 here; either way too few rows means
        // no spare rows rather than a negative row number.
        int32_t rows = databases.system.GetDataCount(kind + 1);
        spareSoundBase[kind] = rows >= kSpareSoundRows ? rows - kSpareSoundRows : -1;
        spareSoundCount[kind] = 0;
    }
}

std::optional<int32_t> GameSystem::FirstSpareSoundRow(int kind) const {
    if (kind < 0 || kind >= kSoundKindCount || spareSoundBase[kind] < 0) return std::nullopt;
    return spareSoundBase[kind];
}

std::optional<int32_t> GameSystem::NextSpareSoundRow(int kind) const {
    std::optional<int32_t> first = FirstSpareSoundRow(kind);
    if (!first) return std::nullopt;
    return *first + ((spareSoundCount[kind] % kSpareSoundRows) + kSpareSoundRows) % kSpareSoundRows;
}

std::optional<int32_t> GameSystem::TakeSpareSoundRow(int kind) {
    std::optional<int32_t> row = NextSpareSoundRow(kind);
    if (!row) return std::nullopt;
    spareSoundCount[kind] = (*row - spareSoundBase[kind] + 1) % kSpareSoundRows;
    return row;
}

void GameSystem::StepTransition(int frameStep) { transitionLeft = std::max(transitionLeft - frameStep, -10); }

}  // namespace velk
