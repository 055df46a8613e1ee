#pragma once
// Joins the library's parts: the start-up, shut-down and message-processing
// bodies behind InitLibrary, EndLibrary and ProcessMessages, every part's
// hooks into the window's procedure and message processing, the graphics
// steps of the start-up, the drawing that key input needs, and the fatal
// exits of graphics and sound. The program calls it once, before any other
// library operation.

namespace velk {

void RegisterLibraryParts();

}  // namespace velk
