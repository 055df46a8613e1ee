#pragma once
// The 2D path of the graph front-end: graphs whose parts are 2D surfaces and
// every draw made without Direct3D.

namespace velk {

class GraphDrawPath;

// The one 2D path object.
GraphDrawPath& TwoDDrawPath();

}  // namespace velk
