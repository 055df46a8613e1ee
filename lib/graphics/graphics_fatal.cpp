#include "lib/graphics/graphics_fatal.h"

#include <cstdlib>

#include "lib/core/library.h"

namespace velk {

namespace {

void EndProcess(const char* message) { ExitOnFatalError(message); }

GraphicsFatalHandler g_handler = EndProcess;

}  // namespace

void GraphicsFatalError(const char* message) {
    g_handler(message);
    std::exit(-1);
}

void SetGraphicsFatalHandler(GraphicsFatalHandler handler) { g_handler = handler != nullptr ? handler : EndProcess; }

}  // namespace velk
