#pragma once
// The library's life entries. Their bodies (start-up, shut-down, message
// processing) live in the modules that build them and are registered here,
// so this layer depends on none of them.

namespace velk {

struct LibraryLifeBodies {
    // 0 on success, -1 on failure; sets the initialised flag when it succeeds.
    int (*start_up)() = nullptr;
    // Clears the initialised flag.
    int (*shut_down)() = nullptr;
    // 0 to go on, -1 when the program is to end.
    int (*process_messages)() = nullptr;
};

// Installs the bodies; a null member leaves that entry without a body.
void SetLibraryLifeBodies(const LibraryLifeBodies& bodies);
LibraryLifeBodies GetLibraryLifeBodies();

// Whether the library has been started (and not yet ended).
bool IsLibraryInitialized();
void SetLibraryInitialized(bool initialized);
// Whether the start-up is running (a display-mode change then only stores
// the mode).
bool IsLibraryStarting();
void SetLibraryStarting(bool starting);

// Starts the library under the library lock. 0 at once when it is already
// started; -1 when no start-up body is registered.
int InitLibrary();
// Ends the library under the lock and then tears the lock down. 0 at once when
// the library was not started.
int EndLibrary();
// One pass of message processing under the lock: 0 to go on, -1 when the
// program is to end; -1 without a registered body.
int ProcessMessages();

// The library's one way to stop the process on an error it cannot survive:
// writes the message and a line end to the log, runs the registered shut-down
// body (which also undoes a start-up still in progress), tears the library
// lock down and exits with code -1, without taking the lock. A fatal error
// met inside that shut-down exits at once.
[[noreturn]] void ExitOnFatalError(const char* message);

}  // namespace velk
