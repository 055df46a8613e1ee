#include "lib/core/library.h"
#include "lib/sound/sound_data.h"

namespace velk {
namespace {

void (*fatal_handler)(const char* message) = nullptr;

}  // namespace

void SetSoundFatalErrorHandler(void (*handler)(const char* message)) { fatal_handler = handler; }

void ExitOnSoundFatalError(const char* message) {
    if (fatal_handler != nullptr) fatal_handler(message);
    ExitOnFatalError(message);
}

}  // namespace velk
