#include <cstdlib>

#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/sound/sound_data.h"

namespace velk {
namespace {

void (*fatal_handler)(const char* message) = nullptr;

}  // namespace

void SetSoundFatalErrorHandler(void (*handler)(const char* message)) { fatal_handler = handler; }

void ExitOnSoundFatalError(const char* message) {
    WriteLog(message);
    WriteLog("\n");
    if (fatal_handler != nullptr) fatal_handler(message);
    EndLibrary();
    std::exit(-1);
}

}  // namespace velk
