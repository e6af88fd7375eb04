// Owns the start-up warm-up of the graph road: blank and image graphs made,
// selected, drawn and deleted once. Calls the graph table, the draw entries,
// the drawing state and the screen's draw-target switch.
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"

namespace {

int MakeBlackImageGraph(GraphImage* image)
{
    *image = GraphImage{};
    SetupGraphImageRGB24(256, 256, image);
    FillGraphImageColor(image, 0, 0, 0, 0);
    return NewGraphFromGraphImageDefault(image);
}

} // namespace

void WarmUpGraphs()
{
    SetNewGraphRenderable(1);
    const int blank = CreateBlankGraph(256, 256, 0);
    SetNewGraphRenderable(0);
    SwitchDrawTarget(blank);
    SwitchDrawTarget(DRAWTARGET_FRONT);
    DestroyGraphHandle(blank, 0);
    SwitchDrawTarget(DRAWTARGET_BACK);

    GraphImage image;
    int graph = MakeBlackImageGraph(&image);
    FreeGraphImagePixels(&image);
    StoreBlendMode(3, 128);
    RenderGraphAt(0, 0, graph, 1);
    StoreBlendMode(0, 0);
    SwitchDrawTarget(DRAWTARGET_FRONT);
    RenderGraphAt(0, 0, graph, 1);
    DestroyGraphHandle(graph, 0);

    graph = MakeBlackImageGraph(&image);
    DrawGraphStretched(0, 0, 640, 480, graph, 1);
    DestroyGraphHandle(graph, 0);
    FreeGraphImagePixels(&image);
}
