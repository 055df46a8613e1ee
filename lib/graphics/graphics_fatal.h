#pragma once
// The graph side's fatal errors (a full graph table, a record that cannot be
// allocated): the message goes to the log, the library ends and the process
// exits with -1. Tests may put in a handler that does not return by other
// means (throwing).

namespace velk {

using GraphicsFatalHandler = void (*)(const char* message);

[[noreturn]] void GraphicsFatalError(const char* message);
// null puts back the default.
void SetGraphicsFatalHandler(GraphicsFatalHandler handler);

}  // namespace velk
