#include "game/shell/shell_wait.h"

#include "lib/api/library_api.h"

namespace velk {
namespace {

std::function<void(int)>& InstalledWait() {
    static std::function<void(int)> wait;
    return wait;
}

}  // namespace

void ShellWait(int milliseconds) {
    if (InstalledWait()) {
        InstalledWait()(milliseconds);
    } else {
        WaitWithMessages(milliseconds);
    }
}

void SetShellWaitFunction(std::function<void(int)> wait) { InstalledWait() = std::move(wait); }

}  // namespace velk
