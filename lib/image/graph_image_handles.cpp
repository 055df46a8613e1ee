#include "lib/image/graph_image_handles.h"

#include <new>

#include "lib/core/memory_tracker.h"
#include "lib/core/handle_table.h"

namespace velk {

namespace {

struct GraphImageRecord {
    GraphImage image;
    uint32_t check = 0;
    int32_t handle = 0;
};

HandleTable<GraphImageRecord>& Table() {
    static HandleTable<GraphImageRecord> table(kGraphImageHandleSlots, kGraphImageHandleType);
    return table;
}

}  // namespace

int AddGraphImageHandle(GraphImage* image) {
    if (Table().full()) {
        return -1;
    }
    void* block = VELK_CALLOC(sizeof(GraphImageRecord));
    if (block == nullptr) {
        return -1;
    }
    auto* record = new (block) GraphImageRecord{};
    record->image = *image;
    *image = GraphImage{};
    return Table().Add(record);
}

GraphImage* GetGraphImageByHandle(int handle) {
    GraphImageRecord* record = Table().Get(handle);
    return record != nullptr ? &record->image : nullptr;
}

int DeleteGraphImageHandle(int handle) {
    GraphImageRecord* record = Table().Remove(handle);
    if (record == nullptr) {
        return -1;
    }
    ReleaseGraphImage(&record->image);
    record->~GraphImageRecord();
    MemFree(record);
    return 0;
}

int DeleteAllGraphImageHandles() {
    for (int slot = Table().end() - 1; slot >= 0; --slot) {
        if (GraphImageRecord* record = Table().AtSlot(slot)) {
            DeleteGraphImageHandle(record->handle);
        }
    }
    return 0;
}

}  // namespace velk
