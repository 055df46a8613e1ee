#pragma once
// Graph handles: making graphs (empty, from images, from image files in
// memory or on disk, from movies, derived from part of another graph),
// deleting them, looking them up, their sizes, and re-loading them after the
// display surfaces were lost.

#include <cstddef>
#include <cstdint>

#include "lib/graphics/graph_data.h"
#include "lib/image/graph_image.h"

namespace velk {

// --- game-facing ---
int CreateEmptyGraph(int width, int height, int not_3d);
int CreateGraphFromMemoryImage(const void* image, size_t size, const void* alpha_image, size_t alpha_size,
                               int texture, int mirror);
int LoadGraphAsOneTexture(const char* file_name);
int CreateDerivedGraph(int x, int y, int width, int height, int source);
int DeleteGraph(int graph, int log = 0);
int DeleteAllGraphs(int log = 0);
int GetGraphCount();
int GetGraphSize(int graph, int* width, int* height);
int CheckValidGraphHandle(int graph);
int RestoreAllGraphs();

// --- library-internal ---
// The record of a live graph, null otherwise.
GraphData* GetGraphData(int graph);
// Takes a slot and a zeroed record; a full table or a failed allocation is fatal.
int AddGraphHandle(int width, int height, int texture, GraphData** out, int alpha, int palette_image);
// AddGraphHandle, then the parts on the graph's path; -1 (logged) when the
// parts cannot be made.
int MakeGraph(int width, int height, int texture, int alpha, int palette_image);
int SetGraphLostFlag(int graph, int* flag);
// A name (the directory becomes the current one), or with null the names of
// another graph (copy -1: none).
int SetGraphFileName(int graph, const char* file_name, int copy_from);
int MakeGraphForGraphImage(const GraphImage* image, const GraphImage* alpha, int texture);
int FillGraphFromGraphImage(int dest_x, int dest_y, const char* file_name, const GraphImage* image,
                            const GraphImage* alpha, int offset_x, int offset_y, int graph, uint32_t image_kind);
int CreateGraphFromGraphImage(GraphImage* image, GraphImage* alpha, int texture, int mirror, int mirror_in_place);
int CreateGraphFromOneGraphImage(GraphImage* image);
int LoadGraphFromFile(const char* file_name, int texture, int mirror, int flags);
int RefreshGraphSurface(int graph);
int RefreshAllGraphSurfaces();
int RunRestoreGraphCallback();

// Graph management's table set-up and tear-down.
void ResetGraphTable();

}  // namespace velk
