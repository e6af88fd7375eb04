// Graph handles (GRAPHREC, kind 0x08000000): the graph manager's start and
// end, graphs made from sizes, decoded images, files and other graphs, their
// deletion, and the refill of lost graphs from their files.
#pragma once

#include "core/handle.h"
#include "graphics/image/graphimage.h"
#include "graphics/imagesurface.h"
#include "platform/kernel/types.h"

constexpr int GRAPH_NAME_SIZE = 64;
constexpr int GRAPH_FOLDER_SIZE = 256;
constexpr int GRAPH_MAX_SURFACES = 64;

struct GRAPHREC {
    HANDLEHEAD Head;
    int Handle;
    IMGFLAGS Format;
    DWORD LoadOption;
    DWORD SingleChannelOption;
    int Surfaces[GRAPH_MAX_SURFACES];
    int SurfaceCount;
    char FileName[GRAPH_NAME_SIZE];
    char Folder[GRAPH_FOLDER_SIZE];
    int SourceX;
    int SourceY;
    int Width;
    int Height;
    int Movie;
    int Lost;
    void* Extra;
};

// A part of a graph drawn at a point of the target: the run of part draws
// (DrawGraphSubRects) takes a list of them, the glyphs of a string.
struct GRAPHSUBRECT {
    int X, Y;
    int SrcX, SrcY;
    int Width, Height;
};

using GRAPHTABLE = HANDLETABLE<GRAPHREC, HANDLECAP_GRAPH, HANDLETAG_GRAPH>;
extern GRAPHTABLE GraphTable;

int StartGraphManager();
int EndGraphManager();
// 1 while the manager is started.
int IsGraphManagerStarted();
// 1 when graphs may use Direct3D (set by the manager's start).
int IsDirect3DUsable();

int AddGraphHandle(int width, int height, int use3D, GRAPHREC** out, int alpha, int paletteSource);
int CreateGraphOfSize(int width, int height, int use3D, int alpha, int paletteSource);
int CreateBlankGraph(int width, int height, int not3D);
int CreateGraphForImage(const GraphImage* image, const GraphImage* alpha, int use3D);
int NewGraphFromGraphImage(GraphImage* image, GraphImage* alpha, int use3D, int mirror, int mirror2);
int NewGraphFromGraphImageDefault(GraphImage* image);
int CreateGraphFromFile(const char* name, int use3D, int mirror, int movieOption);
int LoadGraphByName(const char* name, int not3D);
int TransferImageToGraph(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, const char* name,
                         int sourceKind, GraphImage* image, GraphImage* alpha, int sourceX, int sourceY, int graph,
                         DWORD loadOption);
int TransferImageRectToGraph(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                             const char* name, int sourceKind, GraphImage* image, GraphImage* alpha,
                             const RECT* sourceRect, int destX, int destY, int graph, DWORD loadOption);
int SetGraphFileName(int graph, const char* name, int sourceGraph);
int CreateDerivedGraph(int x, int y, int width, int height, int parent);
int DestroyGraphHandle(int graph, int log);
int DeleteAllGraphHandles(int log);
int BindGraphDeletedFlag(int graph, int* flag);
GRAPHREC* GetGraphRecord(int graph);
int IsGraphHandleValid(int graph);
// -2 and -4 give the screen size; a bad handle answers -1 and leaves the
// outputs untouched.
int GetGraphDimensions(int graph, int* width, int* height);
int CheckBlendGraphSize(const GRAPHREC* drawn);
int FillGraphWithColor(int graph, int red, int green, int blue, int alpha);
int CaptureDrawScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag);
int RestoreGraphSurfaces(int graph);
// When the manager is started, restores the output surfaces and every
// graph's lost surfaces; 0.
int ReloadAllGraphSurfaces();
int SetGraphRestoreFunction(void (*callback)());
int HasRestoreCallback();
int MarkGraphsLostAndRestore();
void RestoreLostGraphs();
int RefreshGraphMovieFrame(int graph, int flag);

// The start-up's first use of the graph road: two 256 x 256 graphs drawn on
// the back and front screens and deleted; the front screen is the target after.
void WarmUpGraphs();
