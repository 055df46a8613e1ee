#pragma once
// The one place where the subsystems above the data layer join the shell:
// their handler sets in the command table, the links the interpreters and
// the map state reach them through, their objects' places in the frame's
// update steps and draw layers, and the title/reset block's and start-up's
// steps. ConnectStartUp runs when the program is made (start-up's own steps,
// such as the MIDI binding); ConnectSubsystems once the scene exists, before
// the first title/reset block.

namespace velk {

class GameProgram;

void ConnectStartUp(GameProgram& program);
void ConnectSubsystems(GameProgram& program);

}  // namespace velk
