#include "platform/window/x11_connection_loss.h"

#include <atomic>
#include <cstdio>

#include <X11/Xlib.h>

namespace velk::platform {

namespace {

std::atomic<bool> connection_lost{false};

// Called by Xlib for every failed request on a dead connection, so it
// reports once and does nothing else: it runs inside Xlib.
int NoteLostConnection(Display* display) {
    if (!connection_lost.exchange(true)) {
        std::fprintf(stderr, "velk-player: the connection to the X display %s was lost\n",
                     display != nullptr ? DisplayString(display) : "");
    }
    return 0;
}

// Returning lets the Xlib call fail back to its caller; the connection's
// later requests fail at once, so no caller blocks on it except one that
// waits for an event, which the back-end no longer makes.
void KeepRunning(Display*, void*) {}

}  // namespace

void WatchX11Connection(void* display) {
    if (display == nullptr) return;
    XSetIOErrorHandler(&NoteLostConnection);
    XSetIOErrorExitHandler(static_cast<Display*>(display), &KeepRunning, nullptr);
}

bool X11ConnectionLost() { return connection_lost.load(); }

}  // namespace velk::platform
