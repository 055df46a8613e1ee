#include "lib/graphics/screen/masks.h"

#include <array>

#include "lib/core/memory_tracker.h"

namespace velk {

namespace {

struct MaskRecord {
    uint32_t check = 0;
    void* data = nullptr;
    int used = 0;
};

struct MaskScreen {
    int create_request = 0;
    int use = 0;
    int active = 0;
    void* buffer = nullptr;
    MEMIMG image;
};

std::array<MaskRecord, kMaskSlots>& Masks() {
    static std::array<MaskRecord, kMaskSlots> masks;
    return masks;
}

MaskScreen& MaskState() {
    static MaskScreen state;
    return state;
}

}  // namespace

int DeleteMask(int handle) {
    if (handle < 0 || (static_cast<uint32_t>(handle) & 0x78000000u) != kMaskHandleType) return -1;
    const uint32_t slot = static_cast<uint32_t>(handle) & 0xFFFF;
    if (slot >= kMaskSlots) return -1;
    MaskRecord& record = Masks()[slot];
    if (record.used == 0 || record.check != ((static_cast<uint32_t>(handle) >> 16) & 0x7FF)) return -1;
    MemFree(record.data);
    record = MaskRecord{};
    return 0;
}

int DeleteAllMasks() {
    for (uint32_t slot = 0; slot < kMaskSlots; ++slot) {
        const MaskRecord& record = Masks()[slot];
        if (record.used != 0) DeleteMask(static_cast<int>(kMaskHandleType | (record.check << 16) | slot));
    }
    return 0;
}

int GetMaskUseFlag() { return MaskState().use; }

const MEMIMG* GetMaskMemImg() {
    return CheckValidMemImg(&MaskState().image) != 0 ? &MaskState().image : nullptr;
}

bool MaskScreenActive() { return MaskState().active != 0 && GetMaskMemImg() != nullptr; }

int CreateMaskScreen(int flag) {
    // Nothing asks for a mask screen; a request is kept and nothing is made.
    if (flag == 0) return 0;
    MaskState().create_request = 1;
    return 0;
}

int RefreshMaskScreenArea(int) {
    if (MaskState().buffer == nullptr) return -1;
    return 0;
}

int RestoreMaskScreen() {
    CreateMaskScreen(MaskState().create_request);
    if (MaskState().use != 0) RefreshMaskScreenArea(1);
    return 0;
}

int ReleaseMaskScreen() {
    MaskScreen& state = MaskState();
    MemFree(state.buffer);
    state.buffer = nullptr;
    ReleaseMemImg(&state.image);
    return 0;
}

int EndMaskScreen() {
    if (MaskState().use != 0) RefreshMaskScreenArea(0);
    ReleaseMaskScreen();
    MaskState().create_request = 0;
    MaskState().active = 0;
    return 0;
}

int MaskDrawBeginOnTarget(int, int, int, int) { return 0; }
int MaskDrawEndOnTarget(int, int, int, int) { return 0; }

}  // namespace velk
