// Owns the graph table and the graph manager: graph records with their
// format bytes, graphs from sizes, images, files and parents, deletion, and
// the refill of lost graphs from their files. Calls the back-end table for
// a graph's storage, the 2D surfaces, the image loader, the file layer, the
// movie service, the drawing state, the screen layer and the log.
#include "graphics/graph.h"
#include "graphics/graph_movie.h"
#include "graphics/mask.h"

#include <cstdio>
#include <cstring>

#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/fatalexit.h"
#include "core/inactivewait.h"
#include "graphics/backend.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/image/decoders.h"
#include "graphics/image/load.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"

GRAPHTABLE GraphTable;

namespace {

int g_started = 0;
int g_textureGraphs = 0;

// Folders are read through a buffer as large as any path the file layer makes.
constexpr int kFolderBuffer = 1024;

int RequestedDepth()
{
    const int bits = GetRequestedColorBits();
    return bits == 0 ? 16 : bits;
}

// Copies text into a field only when it fits whole; else the field is left
// empty, so a graph is never refilled from a cut name.
void StoreWhole(char* field, int size, const char* text)
{
    const std::size_t len = std::strlen(text);
    if (len < static_cast<std::size_t>(size)) {
        std::memcpy(field, text, len + 1);
    } else {
        field[0] = '\0';
    }
}

void StoreCurrentFolder(GRAPHREC* g)
{
    char folder[kFolderBuffer] = {};
    GetLibraryCurrentDir(folder);
    folder[kFolderBuffer - 1] = '\0';
    StoreWhole(g->Folder, GRAPH_FOLDER_SIZE, folder);
}

void ClearGraphImage(GraphImage* image)
{
    std::memset(image, 0, sizeof *image);
}

// The design's line of a failed load, with the reason after the name.
int LogGraphLoadFailure(const char* name, const char* reason)
{
    return WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s : %s", name, reason);
}

} // namespace

int IsGraphManagerStarted()
{
    return g_started;
}

int IsDirect3DUsable()
{
    return g_textureGraphs;
}

int StartGraphManager()
{
    if (g_started == 1) return 0;
    WriteLog("グラフィック管理系の初期化を行います\n");
    IncreaseLogIndent();
    ResetHandleTable(GraphTable);
    ResetImageSurfaceTable();
    g_started = 1;
    DeleteAllSurface2D();
    ResetSurface2DTable();
    g_textureGraphs = CurrentGraphicsBackend().TextureGraphs;
    if (g_textureGraphs == 0) WriteLog("３Ｄグラフィック描画機能は使用しません\n");
    ResetDrawStateDefaults();
    StartFontSystem();
    DecreaseLogIndent();
    WriteLog("グラフィック管理系の初期化は正常に終了しました\n");
    return 0;
}

int EndGraphManager()
{
    if (g_started == 0) return 0;
    DeleteAllGraphHandles(0);
    DeleteAllLights();
    EndFontSystem();
    DeleteAllMasks();
    EndMaskScreen();
    g_started = 0;
    WriteLog("グラフィック管理系の終了処理は正常に終了しました\n");
    return 0;
}

GRAPHREC* GetGraphRecord(int graph)
{
    return GetHandleRecord(GraphTable, graph);
}

int IsGraphHandleValid(int graph)
{
    return GetGraphRecord(graph) != nullptr ? 1 : 0;
}

int AddGraphHandle(int width, int height, int use3D, GRAPHREC** out, int alpha, int paletteSource)
{
    const int slot = FindFreeHandleSlot(GraphTable);
    if (slot < 0) ExitWithFatalError("グラフィックの数が許容量を越えました終了します");
    GRAPHREC* g = AllocHandleRecord(GraphTable, slot, __FILE__, __LINE__);
    if (g == nullptr) ExitWithFatalError("メモリの確保に失敗しました");
    const DRAWSTATE& d = DrawState;
    g->Width = width;
    g->Height = height;
    g->Movie = -1;
    g->SingleChannelOption = static_cast<DWORD>(d.SingleChannelOption);
    IMGFLAGS& f = g->Format;
    f.Texture = (use3D && d.NewGraphUse3D && g_textureGraphs) ? 1 : 0;
    f.PaletteSource = 0;
    f.UnmanagedTexture = static_cast<BYTE>(d.NewGraphUnmanagedTexture);
    if (d.NewGraphRenderable == 1) {
        f.SingleChannel = 0;
        f.AlphaTestFlag = 0;
        f.DrawValid = 1;
        f.AlphaChFlag = static_cast<BYTE>(d.RenderableGraphAlpha);
    } else {
        f.AlphaChFlag = static_cast<BYTE>(alpha);
        f.DrawValid = 0;
        f.AlphaTestFlag = static_cast<BYTE>(d.NewGraphAlphaTest);
        f.SingleChannel = static_cast<BYTE>(g->SingleChannelOption);
    }
    if (f.Texture == 1) {
        f.ColorBitDepth = static_cast<BYTE>(d.NewGraphColorBits != 0 ? d.NewGraphColorBits
                                                                     : (alpha == 1 ? 32 : RequestedDepth()));
        f.SystemMemory = 0;
    } else {
        f.ColorBitDepth = static_cast<BYTE>(
            (d.NewGraphColorBits == 0 || IsDirectDrawInUse() == 0) ? RequestedDepth() : d.NewGraphColorBits);
        f.SystemMemory = static_cast<BYTE>(d.NewGraphInSystemMemory);
        f.PaletteSource = static_cast<BYTE>(paletteSource);
        f.UnmanagedTexture = 0;
    }
    g->Handle = CommitHandleRecord(GraphTable, slot);
    if (out != nullptr) *out = g;
    return g->Handle;
}

int CreateGraphOfSize(int width, int height, int use3D, int alpha, int paletteSource)
{
    // Surfaces keep their sizes in 16 bits; larger graphs cannot be held.
    if (width <= 0 || height <= 0 || width > MAX_SURFACE_SIDE || height > MAX_SURFACE_SIDE) {
        WriteLog("グラフィックの作成に失敗しました\n");
        return -1;
    }
    GRAPHREC* g = nullptr;
    const int handle = AddGraphHandle(width, height, use3D, &g, alpha, paletteSource);
    if (GraphBackend(g).CreateGraphStorage(g) != 0) {
        WriteLog("グラフィックの作成に失敗しました\n");
        DestroyGraphHandle(handle, 0);
        return -1;
    }
    return handle;
}

int CreateBlankGraph(int width, int height, int not3D)
{
    return CreateGraphOfSize(width, height, not3D == 0 ? 1 : 0, DrawState.EmptyGraphAlpha, 0);
}

int CreateGraphForImage(const GraphImage* image, const GraphImage* alpha, int use3D)
{
    WaitWhileInactive();
    if (alpha != nullptr && (alpha->Width != image->Width || alpha->Height != image->Height)) return -1;
    const int hasAlpha = (image->Format.AlphaWidth != 0 || alpha != nullptr) ? 1 : 0;
    const int palette = (image->Format.BytesPerPixel == 1 && image->Format.AlphaWidth == 0 && alpha == nullptr) ? 1 : 0;
    return CreateGraphOfSize(image->Width, image->Height, use3D, hasAlpha, palette);
}

int NewGraphFromGraphImage(GraphImage* image, GraphImage* alpha, int use3D, int mirror, int mirror2)
{
    UpdateColorFormatUnusedMask(&image->Format);
    if (alpha != nullptr) UpdateColorFormatUnusedMask(&alpha->Format);
    const bool flip = mirror == 1 && mirror2 == 1;
    if (flip) {
        MirrorGraphImageHorizontally(image);
        if (alpha != nullptr) MirrorGraphImageHorizontally(alpha);
    }
    int handle = CreateGraphForImage(image, alpha, use3D);
    if (handle != -1 &&
        TransferImageToGraph(nullptr, nullptr, nullptr, nullptr, 0, image, alpha, 0, 0, handle, 0) != 0) {
        DestroyGraphHandle(handle, 0);
        handle = -1;
    }
    if (flip) {
        MirrorGraphImageHorizontally(image);
        if (alpha != nullptr) MirrorGraphImageHorizontally(alpha);
    }
    return handle;
}

int NewGraphFromGraphImageDefault(GraphImage* image)
{
    return NewGraphFromGraphImage(image, nullptr, 1, 0, 1);
}

int CreateGraphFromFile(const char* name, int use3D, int mirror, int movieOption)
{
    if (g_started == 0 || name == nullptr) return -1;
    WaitWhileInactive();
    GraphImage image;
    GraphImage mask;
    ClearGraphImage(&image);
    ClearGraphImage(&mask);
    const int loaded = LoadGraphImageWithAlphaMask(name, nullptr, 0, 0, nullptr, 0, 0, &image, &mask, mirror);
    if (loaded >= 0) {
        const int handle = NewGraphFromGraphImage(&image, loaded == 0 ? &mask : nullptr, use3D, 0, 0);
        if (handle != -1) {
            SetGraphFileName(handle, name, -1);
        } else {
            char maskName[ImagePathBufferSize];
            char reason[ImagePathBufferSize + 128];
            if (loaded == 0 && (mask.Width != image.Width || mask.Height != image.Height)) {
                MakeAlphaMaskFileName(name, maskName);
                std::snprintf(reason, sizeof reason, "アルファ画像 %s の大きさ %dx%d が画像の %dx%d と違います", maskName,
                              mask.Width, mask.Height, image.Width, image.Height);
            } else {
                std::snprintf(reason, sizeof reason, "%dx%d のグラフィックを作れません", image.Width, image.Height);
            }
            LogGraphLoadFailure(name, reason);
        }
        FreeGraphImagePixels(&image);
        if (loaded == 0) FreeGraphImagePixels(&mask);
        return handle;
    }
    // An image of a known format that its decoder refused is no movie either.
    if (GetImageDecodeFault()[0] != '\0') {
        return LogGraphLoadFailure(name, GetImageDecodeFault());
    }
    const FILEHANDLE file = OpenLibraryFile(name, 0, 0, 0);
    if (file == 0) {
        WriteLogFormat("グラフィックファイル %s がありません", name);
        return -1;
    }
    CloseLibraryFile(file);
    int width = 0;
    int height = 0;
    const int movie = GraphMovieService().Open(name, &width, &height, movieOption);
    if (movie < 0) {
        WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s \n", name);
        return -1;
    }
    // A movie graph lives in system memory at the screen's depth, so each
    // frame is a plain copy.
    DRAWSTATE& d = DrawState;
    const int savedBits = d.NewGraphColorBits;
    const int savedSystem = d.NewGraphInSystemMemory;
    const int savedUnmanaged = d.NewGraphUnmanagedTexture;
    d.NewGraphColorBits = RequestedDepth();
    d.NewGraphInSystemMemory = 1;
    d.NewGraphUnmanagedTexture = 1;
    const int handle = CreateGraphOfSize(width, height, use3D, 0, 0);
    d.NewGraphColorBits = savedBits;
    d.NewGraphInSystemMemory = savedSystem;
    d.NewGraphUnmanagedTexture = savedUnmanaged;
    if (handle == -1) {
        // The movie has no graph to show it: it is closed, not left behind.
        GraphMovieService().Dispose(movie);
        WriteLogFormat("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", name);
        return -1;
    }
    GRAPHREC* g = GetGraphRecord(handle);
    g->Movie = movie;
    GraphMovieService().SetFrameCallback(movie, TransferMovieFrameToGraph2D, g);
    // The player decoded the first frame at open: the graph shows it at once.
    if (GraphImage* first = GraphMovieService().GetPicture(GraphMovieService().GetRecord(movie), 0)) {
        TransferImageToGraph2D(nullptr, nullptr, nullptr, 0, 0, g, 0, first, nullptr);
    }
    return handle;
}

int LoadGraphByName(const char* name, int not3D)
{
    return CreateGraphFromFile(name, not3D == 0 ? 1 : 0, 0, 0);
}

int SetGraphFileName(int graph, const char* name, int sourceGraph)
{
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    g->Folder[0] = '\0';
    if (name != nullptr) {
        StoreCurrentFolder(g);
        StoreWhole(g->FileName, GRAPH_NAME_SIZE, name);
    } else if (sourceGraph != -1) {
        const GRAPHREC* src = GetGraphRecord(sourceGraph);
        if (src == nullptr) return -1;
        std::memcpy(g->FileName, src->FileName, GRAPH_NAME_SIZE);
        if (src->Folder[0] != '\0') {
            std::memcpy(g->Folder, src->Folder, GRAPH_FOLDER_SIZE);
        } else {
            StoreCurrentFolder(g);
        }
    } else {
        g->FileName[0] = '\0';
        StoreCurrentFolder(g);
    }
    if (g->Folder[0] == '\0') g->FileName[0] = '\0';
    return 0;
}

int TransferImageToGraph(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, const char* name,
                         int sourceKind, GraphImage* image, GraphImage* alpha, int sourceX, int sourceY, int graph,
                         DWORD loadOption)
{
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    SetGraphFileName(graph, name, -1);
    g->LoadOption = loadOption;
    g->SourceX = sourceX;
    g->SourceY = sourceY;
    return GraphBackend(g).TransferImageToGraph(bitmapFormat, colourBitmap, alphaBitmap, sourceX, sourceY, g,
                                                sourceKind, image, alpha);
}

int TransferImageRectToGraph(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                             const char* name, int sourceKind, GraphImage* image, GraphImage* alpha,
                             const RECT* sourceRect, int destX, int destY, int graph, DWORD loadOption)
{
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    StoreCurrentFolder(g);
    if (name != nullptr) {
        StoreWhole(g->FileName, GRAPH_NAME_SIZE, name);
    } else {
        g->FileName[0] = '\0';
    }
    // The offset of the graph's top-left pixel in the image.
    g->SourceX = sourceRect->left - destX;
    g->SourceY = sourceRect->top - destY;
    g->LoadOption = loadOption;
    return GraphBackend(g).TransferImageRectToGraph(bitmapFormat, colourBitmap, alphaBitmap, sourceRect, destX, destY,
                                                    g, sourceKind, image, alpha);
}

int CreateDerivedGraph(int x, int y, int width, int height, int parent)
{
    GRAPHREC* p = GetGraphRecord(parent);
    if (p == nullptr) return -1;
    // A view must start inside the parent and cover at least one pixel.
    if (x < 0 || y < 0 || width <= 0 || height <= 0) return -1;
    if (x >= p->Width || y >= p->Height) return -1;
    if (width > p->Width - x) width = p->Width - x;
    if (height > p->Height - y) height = p->Height - y;
    GRAPHREC* g = nullptr;
    const int handle = AddGraphHandle(width, height, GraphBackend(p).TextureGraphs, &g, p->Format.AlphaChFlag,
                                      p->Format.PaletteSource);
    g->Movie = p->Movie;
    std::memcpy(g->FileName, p->FileName, GRAPH_NAME_SIZE);
    std::memcpy(g->Folder, p->Folder, GRAPH_FOLDER_SIZE);
    g->SourceX = p->SourceX + x;
    g->SourceY = p->SourceY + y;
    g->Format = p->Format;
    g->LoadOption = p->LoadOption;
    const int made = GraphBackend(g).CreateDerivedGraphStorage(g, x, y, width, height, p);
    if (made != 0) {
        WriteLog("グラフィックの派生に失敗しました終了します\n");
        g->Movie = -1;
        DestroyGraphHandle(handle, 0);
        return -1;
    }
    return handle;
}

int DestroyGraphHandle(int graph, int log)
{
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    if (g->Movie != -1) GraphMovieService().Dispose(g->Movie);
    GraphBackend(g).DeleteGraphStorage(g);
    if (log != 0) WriteLogFormat("グラフィック %s の削除", g->FileName);
    if (g->Extra != nullptr) FreeMemory(g->Extra);
    return ReleaseHandleRecord(GraphTable, graph);
}

int DeleteAllGraphHandles(int log)
{
    if (g_started == 0) return 0;
    DeleteAllHandleRecords(GraphTable, [log](HANDLEVALUE h) { DestroyGraphHandle(h, log); });
    return 0;
}

int BindGraphDeletedFlag(int graph, int* flag)
{
    return BindHandleDeletedFlag(GraphTable, graph, flag);
}

int GetGraphDimensions(int graph, int* width, int* height)
{
    if (graph == DRAWTARGET_BACK || graph == DRAWTARGET_FRONT) return GetScreenPixelSize(width, height);
    const GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    if (width != nullptr) *width = g->Width;
    if (height != nullptr) *height = g->Height;
    return 0;
}

int CheckBlendGraphSize(const GRAPHREC* drawn)
{
    const GRAPHREC* b = GetGraphRecord(DrawState.BlendGraph);
    if (b == nullptr) return -1;
    return (b->Width < drawn->Width || b->Height < drawn->Height) ? -1 : 0;
}

int FillGraphWithColor(int graph, int red, int green, int blue, int alpha)
{
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    return GraphBackend(g).FillGraph(g, red, green, blue, alpha);
}

int RestoreGraphSurfaces(int graph)
{
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    GraphBackend(g).RestoreGraphStorage(g);
    GraphMovieService().RestoreSurfaces(g->Movie);
    return 0;
}

int ReloadAllGraphSurfaces()
{
    if (g_started == 0) return 0;
    RestoreLostOutputSurfaces();
    for (std::uint32_t slot = 0; slot < GraphTable.HighWater; ++slot) {
        const GRAPHREC* g = GraphTable.Records[slot];
        if (g != nullptr) RestoreGraphSurfaces(g->Handle);
    }
    return 0;
}

int SetGraphRestoreFunction(void (*callback)())
{
    DrawState.RestoreCallback = callback != nullptr ? callback : RestoreLostGraphs;
    return 0;
}

int HasRestoreCallback()
{
    return DrawState.RestoreCallback != nullptr ? 1 : 0;
}

int MarkGraphsLostAndRestore()
{
    std::uint32_t marked = 0;
    for (std::uint32_t slot = 0; slot < GraphTable.Capacity && marked < GraphTable.Count; ++slot) {
        GRAPHREC* g = GraphTable.Records[slot];
        if (g != nullptr) {
            g->Lost = 1;
            ++marked;
        }
    }
    if (DrawState.RestoreCallback != nullptr) DrawState.RestoreCallback();
    RecreateAllFonts();
    return 0;
}

void RestoreLostGraphs()
{
    WriteLog("グラフィックを復帰します\n");
    char saved[kFolderBuffer] = {};
    GetLibraryCurrentDir(saved);
    saved[kFolderBuffer - 1] = '\0';

    GraphImage image;
    GraphImage mask;
    ClearGraphImage(&image);
    ClearGraphImage(&mask);
    int held = -1;  // -1 nothing held, 0 image and mask, 1 image alone
    const GRAPHREC* previous = nullptr;
    auto drop = [&]() {
        if (held >= 0) FreeGraphImagePixels(&image);
        if (held == 0) FreeGraphImagePixels(&mask);
        ClearGraphImage(&image);
        ClearGraphImage(&mask);
        held = -1;
        previous = nullptr;
    };

    const std::uint32_t top = GraphTable.HighWater;
    for (std::uint32_t slot = 0; slot < top; ++slot) {
        GRAPHREC* g = GraphTable.Records[slot];
        if (g == nullptr || g->Lost != 1 || g->FileName[0] == '\0') continue;
        g->Lost = 0;
        if (std::strlen(g->Folder) > 128 || std::strlen(g->FileName) > 64) {
            // Not loaded: never filled from the images of another record.
            drop();
            continue;
        }
        const bool same = previous != nullptr && held >= 0 && std::strcmp(previous->FileName, g->FileName) == 0 &&
                          std::strcmp(previous->Folder, g->Folder) == 0 && previous->LoadOption == g->LoadOption;
        if (!same) {
            drop();
            ChangeLibraryCurrentDir(g->Folder);
            held = LoadGraphImageWithAlphaMask(g->FileName, nullptr, 0, 0, nullptr, 0, 0, &image, &mask, 0);
            if (held < 0) {
                ClearGraphImage(&image);
                ClearGraphImage(&mask);
                continue;
            }
        }
        char name[GRAPH_NAME_SIZE];
        std::memcpy(name, g->FileName, GRAPH_NAME_SIZE);
        TransferImageToGraph(nullptr, nullptr, nullptr, name, 0, &image, held == 0 ? &mask : nullptr, g->SourceX,
                             g->SourceY, g->Handle, g->LoadOption);
        previous = g;
    }
    drop();
    ChangeLibraryCurrentDir(saved);
}

int RefreshGraphMovieFrame(int graph, int flag)
{
    const GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    if (g->Movie == -1) return 0;
    return GraphMovieService().RefreshFrame(g->Movie, flag);
}

int CaptureDrawScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag)
{
    if (GetGraphRecord(graph) == nullptr) return -1;
    WaitWhileInactive();
    // The graph may have gone in the wait.
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    return GraphBackend(g).ReadScreenIntoGraph(x1, y1, x2, y2, g, flag);
}
