#pragma once
// GraphImages kept behind handles of kind 0x70000000 (8192 slots).

#include <cstdint>

#include "lib/image/graph_image.h"

namespace velk {

inline constexpr uint32_t kGraphImageHandleType = 0x70000000;
inline constexpr int kGraphImageHandleSlots = 8192;

// Takes over the image (its pixels included) and returns its handle, or -1
// when the table is full or memory runs out (the image is then left as it was).
int AddGraphImageHandle(GraphImage* image);
// The image of a live handle, or null.
GraphImage* GetGraphImageByHandle(int handle);
// Releases the image and frees the record; 0, -1 for a handle that is not live.
int DeleteGraphImageHandle(int handle);
int DeleteAllGraphImageHandles();

}  // namespace velk
