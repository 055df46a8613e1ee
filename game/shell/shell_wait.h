#pragma once
// The shell's waits (frame pacing, the error box's polling): the library's
// wait that keeps processing messages, unless a test installed its own that
// steps a manual clock instead.

#include <functional>

namespace velk {

void ShellWait(int milliseconds);
// nullptr restores the library's wait.
void SetShellWaitFunction(std::function<void(int milliseconds)> wait);

}  // namespace velk
