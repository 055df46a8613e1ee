#pragma once
// The Direct3D path of the graph front-end: texture graphs and every draw
// made through the device.

namespace velk {

class GraphDrawPath;

GraphDrawPath& Direct3DDrawPath();

}  // namespace velk
