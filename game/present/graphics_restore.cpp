#include "game/present/graphics_restore.h"

#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

GraphicsRestore* registered = nullptr;

void RunRegisteredRestore() {
    if (registered != nullptr) registered->RestoreGameGraphics();
}

}  // namespace

GraphicsRestore::GraphicsRestore(PresentLibrary& library, GraphicCache& cache, SystemResources& resources)
    : library_(library), cache_(cache), resources_(resources) {}

void GraphicsRestore::RestoreGameGraphics() {
    library_.RestoreAllGraphs();
    if (windowReload_) windowReload_();
    cache_.ReLoadGraphic();
    resources_.LoadIcons();
    if (pictureReload_) pictureReload_();
}

void RegisterGraphicsRestore(GraphicsRestore* restore) {
    registered = restore;
    SetGraphRestoreCallback(restore != nullptr ? RunRegisteredRestore : nullptr);
}

}  // namespace velk
