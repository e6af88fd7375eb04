// Capture of the draw target into Direct3D texture graphs.
#pragma once

#include "graphics/graph.h"

// Copies (x1, y1)-(x2, y2), right and bottom exclusive, to the graph's top-left: 0 or -1.
int G_D3D_ReadScreenIntoGraph(int x1, int y1, int x2, int y2, GRAPHREC* graph, int flag);
