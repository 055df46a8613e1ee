#pragma once
// Modal message boxes. A hook, when installed, answers instead of the
// system, so tests can see every box and choose the button pressed.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/window/window_backend.h"

namespace velk::platform {

// Buttons and icon of a box (flags).
constexpr uint32_t kMessageBoxOk = 0x0;
constexpr uint32_t kMessageBoxOkCancel = 0x1;
constexpr uint32_t kMessageBoxYesNo = 0x4;
constexpr uint32_t kMessageBoxIconError = 0x10;
constexpr uint32_t kMessageBoxIconWarning = 0x30;
constexpr uint32_t kMessageBoxIconInformation = 0x40;

// The button pressed.
constexpr int kMessageBoxResultOk = 1;
constexpr int kMessageBoxResultCancel = 2;
constexpr int kMessageBoxResultYes = 6;
constexpr int kMessageBoxResultNo = 7;

using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;

// Installs the hook (an empty one restores the system's boxes); returns the
// previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Shows a box with Shift-JIS text and title and waits for a button; nullopt
// when no box could be shown. After the first box the back-end could not
// show, it is not asked again until another back-end is installed: a desktop
// without boxes stays so, and each try can cost as much as starting a
// program, which a game raising boxes in a loop would pay thousands of times
// a frame.
std::optional<int> TryShowMessageBox(WindowHandle parent, std::string_view text, std::string_view title,
                                     uint32_t flags);
// The same, but when no box can be shown the text is printed (below) and the
// first button counts as pressed.
int ShowMessageBox(WindowHandle parent, std::string_view text, std::string_view title, uint32_t flags);
// Prints the title and text of a box that could not be shown to standard
// error, as UTF-8: they were meant for the player, so unlike the debug
// channel this is always on.
void PrintUnshownMessageBox(std::string_view text, std::string_view title);

// Asks the back-end again from the next box on; installing a back-end does.
void ForgetMessageBoxFailure();

}  // namespace velk::platform
