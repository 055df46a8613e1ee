#pragma once
// Masks: the handle kind (0x40000000, 512 slots), the mask screen and the
// hooks every draw calls before and after drawing. No operation of this
// program makes a mask or asks for the mask screen, so the table stays empty
// and the hooks return at once; they exist so the draw paths can call them
// unconditionally.

#include <cstdint>

#include "lib/softrender/memimg.h"

namespace velk {

inline constexpr uint32_t kMaskHandleType = 0x40000000;
inline constexpr int kMaskSlots = 512;

int DeleteMask(int handle);
int DeleteAllMasks();
int GetMaskUseFlag();
// Null: there is no mask screen.
const MEMIMG* GetMaskMemImg();
bool MaskScreenActive();
int CreateMaskScreen(int flag);
int RefreshMaskScreenArea(int use_flag);
int RestoreMaskScreen();
int EndMaskScreen();
int ReleaseMaskScreen();
int MaskDrawBeginOnTarget(int x1, int y1, int x2, int y2);
int MaskDrawEndOnTarget(int x1, int y1, int x2, int y2);

}  // namespace velk
