#pragma once
// The one place where the subsystems above the data layer join the shell:
// their objects' places in the frame's update steps and draw layers, the
// title/reset block's and start-up's steps, and their owner interfaces.
// ConnectStartUp runs when the program is made (start-up's own steps, such as
// the MIDI binding); ConnectSubsystems once the scene exists, before the first
// title/reset block.

namespace velk {

class GameProgram;

void ConnectStartUp(GameProgram& program);
void ConnectSubsystems(GameProgram& program);

}  // namespace velk
