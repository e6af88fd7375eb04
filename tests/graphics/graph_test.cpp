// Graph handles end to end on a started library: files with masks, missing
// and foreign files, derived graphs and their limits, sizes a surface cannot
// hold, names that do not fit, the refill after a loss (also from a file that
// shrank), image surfaces' locks and depth buffers, the draw entries' order
// of checks, the triangle strips and fans, and the 2D path over DirectDraw
// surfaces with its failed locks and wide stretches.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/soft/backend2d.h"
#include "graphics/soft/draw2d.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graph_movie.h"
#include "graphics/mask.h"
#include "graphics/imagesurface.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/debug.h"
#include "platform/window/window.h"
#include "support/library_fixture.h"
#include "support/image_fixtures.h"
#include "support/theora_movie_writer.h"
#include "support/library_fixture.h"

namespace {

using u32 = std::uint32_t;

void WriteTestFile(const char* name, const Bytes& bytes)
{
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A w x h RGB PNG whose pixel (x, y) is seed << 16 | y << 8 | x.
void WriteCoordinatePng(const char* name, int w, int h, int seed)
{
    PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colorType = 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            spec.samples.push_back(static_cast<std::uint8_t>(seed));
            spec.samples.push_back(static_cast<std::uint8_t>(y));
            spec.samples.push_back(static_cast<std::uint8_t>(x));
        }
    WriteTestFile(name, WritePng(spec));
}

Bytes ReadTestFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string LogText()
{
    std::ifstream in("Log.txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The pixel (x, y) of a graph as its software image holds it, low 24 bits.
u32 GraphPixel(int graph, int x, int y)
{
    const GRAPHREC* g = GetGraphRecord(graph);
    const SURF2DREC* s = GetSurface2DRecord(g->Surfaces[0]);
    const IMGSURFREC* is = GetImageSurfaceRecord(s->ImageSurface);
    const MEMIMG& m = is->Image;
    u32 v = 0;
    std::memcpy(&v, m.Pixels + (s->SourceY + y) * m.Body->Pitch + (s->SourceX + x) * 4, 4);
    return v & 0xFFFFFF;
}

std::vector<u32> BackPixels()
{
    const MEMIMG& m = ScreenState.BackImage;
    std::vector<u32> out;
    for (int y = 0; y < m.Height; ++y)
        for (int x = 0; x < m.Width; ++x) {
            u32 v = 0;
            std::memcpy(&v, m.Pixels + y * m.Body->Pitch + x * 4, 4);
            out.push_back(v);
        }
    return out;
}

// A started library on a windowed 32-bit software screen, drawing to the back screen.
class GraphLibrary : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StartDrawingLibrary(320, 240, 32), 0);
        ASSERT_EQ(GetRequestedColorBits(), 32);
        EraseScreen();
    }
    void TearDown() override { EndDrawingLibrary(); }
};

TEST_F(GraphLibrary, FilesLoadWithTheirMaskAndRefuseMismatchedOrMissingOnes)
{
    WriteCoordinatePng("plain.png", 6, 5, 1);
    const int plain = LoadGraphFile("plain.png", 1);
    ASSERT_NE(plain, -1);
    EXPECT_EQ(GraphPixel(plain, 4, 3), 0x010304u);
    const GRAPHREC* g = GetGraphRecord(plain);
    EXPECT_STREQ(g->FileName, "plain.png");
    EXPECT_EQ(g->Format.AlphaChFlag, 0);

    WriteCoordinatePng("masked.png", 6, 5, 2);
    WriteCoordinatePng("masked_a.png", 6, 5, 200);
    const int masked = LoadGraphFile("masked.png", 1);
    ASSERT_NE(masked, -1);
    EXPECT_EQ(GetGraphRecord(masked)->Format.AlphaChFlag, 1);

    WriteCoordinatePng("odd.png", 6, 5, 3);
    WriteCoordinatePng("odd_a.png", 5, 5, 3);
    EXPECT_EQ(LoadGraphFile("odd.png", 1), -1);
    EXPECT_TRUE(LogHasLine("右記のグラフィックファイルのロードに失敗しました：odd.png : アルファ画像 odd_a.png の大きさ 5x5 "
                           "が画像の 6x5 と違います"));

    EXPECT_EQ(LoadGraphFile("missing.png", 1), -1);
    EXPECT_NE(LogText().find("グラフィックファイル missing.png がありません"), std::string::npos);
    // A file that no decoder takes is tried as a movie, and no movie opens.
    WriteTestFile("notes.txt", Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(LoadGraphFile("notes.txt", 1), -1);
    EXPECT_NE(LogText().find("右記のグラフィックファイルのロードに失敗しました：notes.txt"), std::string::npos);
}

// A program whose start-up installed no movie service: a movie file is a
// file no decoder takes, and the loader fails on it as on any such file.
TEST_F(GraphLibrary, WithoutAMovieServiceAMovieFileFailsAsAForeignFile)
{
    WriteTestFile("clip.ogv", WriteTheoraMovie(TheoraMovieSpec{}));
    const int shown = LoadGraphFile("clip.ogv", 1);
    ASSERT_NE(shown, -1);
    EXPECT_NE(GetGraphRecord(shown)->Movie, -1);

    struct ServiceKept {
        GRAPHMOVIESERVICE installed = GraphMovieService();
        ~ServiceKept() { InstallGraphMovieService(installed); }
    } kept;
    InstallGraphMovieService(GRAPHMOVIESERVICE{});
    EXPECT_EQ(LoadGraphFile("clip.ogv", 1), -1);
    EXPECT_NE(LogText().find("右記のグラフィックファイルのロードに失敗しました：clip.ogv"), std::string::npos);
    // A movie graph loaded before is refreshed as a graph without a movie.
    EXPECT_EQ(RefreshGraphMovieFrame(shown, 1), 0);
}

// Loads with the image libraries' messages caught: what reached standard
// error (the debugger output, which also goes there, is dropped meanwhile).
std::string LoadCatchingStderr(const char* name, int* graph)
{
    SetDebugOutputSink([](const char*) {});
    testing::internal::CaptureStderr();
    *graph = LoadGraphFile(name, 1);
    std::string err = testing::internal::GetCapturedStderr();
    SetDebugOutputSink(nullptr);
    return err;
}

TEST_F(GraphLibrary, ImagesThatDecodeSayNothingOnStderrOrInTheLog)
{
    WriteCoordinatePng("good.png", 4, 4, 1);
    WriteTestFile("good.jpg", WriteJpeg(4, 4, 1, Bytes(16, 0x80), false));
    for (const char* name : {"good.png", "good.jpg"}) {
        int graph = -1;
        EXPECT_EQ(LoadCatchingStderr(name, &graph), "") << name;
        EXPECT_NE(graph, -1) << name;
    }
    EXPECT_FALSE(Contains(LogText(), "JPEG"));
    EXPECT_FALSE(Contains(LogText(), "PNG"));
}

// The line of the log (stamp and indentation left out) that begins with prefix; "" when none.
std::string LogLineStartingWith(const std::string& prefix)
{
    for (const std::string& line : LogLinesWithoutStamps()) {
        const std::size_t start = line.find_first_not_of('\t');
        if (start != std::string::npos && line.compare(start, prefix.size(), prefix) == 0) return line.substr(start);
    }
    return "";
}

TEST_F(GraphLibrary, ImagesTheirDecoderRefusesLogOneLineWithTheFileAndTheLibrarysReason)
{
    WriteCoordinatePng("whole.png", 8, 8, 1);
    Bytes cut = ReadTestFile("whole.png");
    cut.resize(cut.size() - 30);
    WriteTestFile("cut.png", cut);
    // A start of image, then a frame header too short to hold one.
    WriteTestFile("bad.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02, 0x00, 0x00});
    const struct {
        const char* name;
        const char* reason;  // the start of it, for libjpeg's own words
    } cases[] = {
        {"cut.png", "PNG: Read Error: the file ends early"},
        {"bad.jpg", "JPEG: "},
    };
    for (const auto& c : cases) {
        int graph = 0;
        EXPECT_EQ(LoadCatchingStderr(c.name, &graph), "") << c.name;
        EXPECT_EQ(graph, -1) << c.name;
        const std::string line = LogLineStartingWith(std::string("右記のグラフィックファイルのロードに失敗しました：") +
                                                     c.name + " : " + c.reason);
        EXPECT_NE(line, "") << c.name << "\n" << LogText();
        if (!line.empty()) {
            EXPECT_NE(line.back(), ' ') << line;  // the library's words follow
        }
        // A broken picture is not tried as a movie.
        EXPECT_FALSE(Contains(LogText(), std::string("ファイル:") + c.name)) << c.name;
    }
}

TEST_F(GraphLibrary, BlendModesOutsideZeroToElevenAreRefusedWithALogLineAndChangeNothing)
{
    WriteCoordinatePng("red.png", 2, 2, 0x90);
    const int graph = LoadGraphFile("red.png", 1);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(SelectBlendMode(0, 40), 0);
    for (int mode : {99, 12, -1}) {
        EXPECT_EQ(SelectBlendMode(mode, 0), -1) << mode;
        EXPECT_TRUE(LogHasLine("ブレンドモード " + std::to_string(mode) + " はありません（0-11）")) << mode;
        EXPECT_EQ(DrawState.BlendMode, 0) << mode;
        EXPECT_EQ(DrawState.BlendParam, 40) << mode;
    }
    // Draws after the refusal still draw with the mode before it.
    EXPECT_EQ(DrawGraphAt(0, 0, graph, 0), 0);
    EXPECT_EQ(BackPixels()[0] & 0xFFFFFFu, 0x900000u);
    EXPECT_EQ(SelectBlendMode(11, 255), 0);
    EXPECT_EQ(DrawState.BlendMode, 11);
}

TEST_F(GraphLibrary, DerivedGraphsStayInsideTheirParent)
{
    const int parent = CreateBlankGraph(64, 64, 1);
    ASSERT_NE(parent, -1);
    struct Case {
        int x, y, w, h;
        int wantW, wantH;  // 0: refused
    };
    const Case cases[] = {
        {10, 10, 1000, 1000, 54, 54}, {0, 0, 64, 64, 64, 64}, {63, 63, 5, 5, 1, 1}, {64, 0, 1, 1, 0, 0},
        {0, 64, 1, 1, 0, 0},          {-1, 0, 4, 4, 0, 0},    {0, -1, 4, 4, 0, 0},  {0, 0, 0, 4, 0, 0},
        {0, 0, 4, -3, 0, 0},
    };
    for (const Case& c : cases) {
        const int d = CreateDerivedGraph(c.x, c.y, c.w, c.h, parent);
        if (c.wantW == 0) {
            EXPECT_EQ(d, -1) << c.x << "," << c.y << " " << c.w << "x" << c.h;
            continue;
        }
        ASSERT_NE(d, -1);
        int w = 0, h = 0;
        EXPECT_EQ(QueryGraphSize(d, &w, &h), 0);
        EXPECT_EQ(w, c.wantW);
        EXPECT_EQ(h, c.wantH);
        EXPECT_EQ(GetGraphRecord(d)->SourceX, c.x);
        EXPECT_EQ(GetGraphRecord(d)->SourceY, c.y);
    }
    EXPECT_EQ(CreateDerivedGraph(0, 0, 4, 4, parent + 1), -1);

    // The parent's image surface outlives a derived graph and dies with the last user.
    const int d = CreateDerivedGraph(1, 1, 4, 4, parent);
    const int image = GetSurface2DRecord(GetGraphRecord(parent)->Surfaces[0])->ImageSurface;
    EXPECT_EQ(DestroyGraphHandle(parent, 0), 0);
    EXPECT_NE(GetImageSurfaceRecord(image), nullptr);
    EXPECT_EQ(DeleteAllGraphHandles(0), 0);
    EXPECT_EQ(GetImageSurfaceRecord(image), nullptr);
    EXPECT_EQ(IsGraphHandleValid(d), 0);
}

TEST_F(GraphLibrary, SizesASurfaceCannotHoldAreRefused)
{
    EXPECT_EQ(CreateBlankGraph(70000, 2, 1), -1);
    EXPECT_EQ(CreateBlankGraph(2, 65536, 1), -1);
    EXPECT_EQ(CreateBlankGraph(0, 2, 1), -1);
    const int widest = CreateBlankGraph(65535, 1, 1);
    ASSERT_NE(widest, -1);
    int w = 0;
    EXPECT_EQ(QueryGraphSize(widest, &w, nullptr), 0);
    EXPECT_EQ(w, 65535);
}

TEST_F(GraphLibrary, HandlesAndScreenSizes)
{
    int w = -7, h = -7;
    EXPECT_EQ(QueryGraphSize(-2, &w, &h), 0);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    const int g = CreateBlankGraph(8, 8, 1);
    int deleted = -1;
    EXPECT_EQ(BindGraphDeletedFlag(g, &deleted), 0);
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(DestroyGraphHandle(g, 0), 0);
    EXPECT_EQ(deleted, 1);
    w = h = -7;
    EXPECT_EQ(QueryGraphSize(g, &w, &h), -1);
    EXPECT_EQ(w, -7);
    EXPECT_EQ(DestroyGraphHandle(g, 0), -1);
}

TEST_F(GraphLibrary, LossRefillsFromFilesOnlyWhatCanBeReadBack)
{
    WriteCoordinatePng("big.png", 20, 16, 5);
    const int parent = LoadGraphFile("big.png", 1);
    const int corner = CreateDerivedGraph(10, 8, 10, 8, parent);
    const int blank = CreateBlankGraph(4, 4, 1);
    // A name that does not fit its field is not kept, so it is never refilled
    // (and never from the images of the graph before it).
    const std::string longName = std::string(70, 'n') + ".png";
    WriteCoordinatePng(longName.c_str(), 4, 4, 9);
    const int longGraph = LoadGraphFile(longName.c_str(), 1);
    ASSERT_NE(parent, -1);
    ASSERT_NE(corner, -1);
    ASSERT_NE(longGraph, -1);
    EXPECT_STREQ(GetGraphRecord(longGraph)->FileName, "");

    for (int g : {parent, blank, longGraph}) FillGraphWithColor(g, 0x11, 0x22, 0x33, 255);
    // The file shrank since it was loaded: what it no longer covers stays as it was.
    WriteCoordinatePng("big.png", 12, 10, 6);
    EXPECT_EQ(MarkGraphsLostAndRestore(), 0);
    EXPECT_EQ(GraphPixel(parent, 11, 9), 0x06090Bu);
    EXPECT_EQ(GraphPixel(parent, 12, 9), 0x112233u);
    EXPECT_EQ(GraphPixel(corner, 1, 1), 0x06090Bu);
    EXPECT_EQ(GraphPixel(corner, 2, 2), 0x112233u);
    EXPECT_EQ(GraphPixel(blank, 0, 0), 0x112233u);
    EXPECT_EQ(GraphPixel(longGraph, 0, 0), 0x112233u);
    EXPECT_EQ(GetGraphRecord(parent)->Lost, 0);
}

TEST_F(GraphLibrary, ImageSurfaceLocksNestAndDepthBuffersAreMadeOnce)
{
    IMGFLAGS flags{};
    flags.ColorBitDepth = 32;
    const int h = AddImageSurface(1, 8, 4, 0, &flags);
    ASSERT_NE(h, -1);
    int pitch = 0;
    void* first = nullptr;
    void* second = nullptr;
    const RECT r{2, 1, 4, 3};
    EXPECT_EQ(LockImageSurface(h, &pitch, &first, 0, &r, nullptr), 0);
    EXPECT_EQ(LockImageSurface(h, &pitch, &second, 0, nullptr, nullptr), -2);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, GetImageSurfaceRecord(h)->Image.Pixels + pitch + 8);
    EXPECT_EQ(UnlockImageSurface(h, nullptr), 0);
    EXPECT_EQ(UnlockImageSurface(h, nullptr), 0);
    EXPECT_EQ(UnlockImageSurface(h, nullptr), -1);

    EXPECT_EQ(SetImageSurfaceZBuffer(h, 1), 0);
    MEMIMGBODY* depth = GetImageSurfaceRecord(h)->DepthImage.Body;
    EXPECT_EQ(SetImageSurfaceZBuffer(h, 1), 0);
    EXPECT_EQ(GetImageSurfaceRecord(h)->DepthImage.Body, depth);
    EXPECT_EQ(DeleteImageSurface(h), 0);

    // Format indexes of textures and software images.
    IMGFLAGS t{};
    t.Texture = 1;
    t.DrawValid = 1;
    t.AlphaChFlag = 1;
    EXPECT_EQ(GetTextureFormatIndex(&t), 8);
    IMGFLAGS soft{};
    soft.ColorBitDepth = 16;
    soft.AlphaChFlag = 1;
    const int s16 = AddImageSurface(1, 4, 4, 0, &soft);
    EXPECT_EQ(GetImageSurfaceRecord(s16)->FormatIndex, 11);
    soft.AlphaChFlag = 0;
    soft.PaletteSource = 1;
    const int pal = AddImageSurface(1, 4, 4, 0, &soft);
    EXPECT_EQ(GetImageSurfaceRecord(pal)->Image.Body->ColorKey, 0xFFFFu);
    DeleteImageSurface(s16);
    DeleteImageSurface(pal);
}

TEST_F(GraphLibrary, TheDrawTargetCopiesIntoAGraphAndClearsAsAGraph)
{
    WriteCoordinatePng("scene.png", 12, 10, 4);
    const int picture = LoadGraphFile("scene.png", 1);
    EXPECT_EQ(DrawGraphAt(20, 30, picture, 0), 0);
    const int copy = CreateBlankGraph(6, 5, 1);
    EXPECT_EQ(CaptureDrawScreenToGraph(22, 32, 28, 37, copy, 0), 0);
    EXPECT_EQ(GraphPixel(copy, 0, 0), 0x040202u);
    EXPECT_EQ(GraphPixel(copy, 5, 4), 0x040607u);
    EXPECT_EQ(CaptureDrawScreenToGraph(22, 32, 28, 36, copy, 0), -1);  // 6 x 4 into 6 x 5
    EXPECT_EQ(CaptureDrawScreenToGraph(316, 0, 322, 5, copy, 0), -1);  // past the target
    EXPECT_EQ(CaptureDrawScreenToGraph(0, 0, 6, 5, copy + 1, 0), -1);

    // A graph target clears to the background colour with its depth at 0xFFFF.
    SysState.BackgroundRed = 9;
    SysState.BackgroundGreen = 8;
    SysState.BackgroundBlue = 7;
    ASSERT_EQ(SelectDrawTarget(copy), 0);
    IMGSURFREC* is = GetImageSurfaceRecord(GetSurface2DRecord(GetGraphRecord(copy)->Surfaces[0])->ImageSurface);
    ASSERT_EQ(SetImageSurfaceZBuffer(GetSurface2DRecord(GetGraphRecord(copy)->Surfaces[0])->ImageSurface, 1), 0);
    ASSERT_EQ(SelectDrawTarget(copy), 0);
    EXPECT_EQ(EraseScreen(), 0);
    EXPECT_EQ(GraphPixel(copy, 3, 3), 0x090807u);
    WORD depth = 0;
    std::memcpy(&depth, is->DepthImage.Pixels + 2 * is->DepthImage.Body->Pitch + 4, 2);
    EXPECT_EQ(depth, 0xFFFF);
    SelectDrawTarget(-2);
}

// --- the draw entries --------------------------------------------------------

struct Entry {
    const char* name;
    int (*draw)(int graph);
    int emptyAreaBadHandle;  // the answer when both hold: which check comes first
    bool checksBlendGraph = true;
};

const Entry kEntries[] = {
    {"RenderGraphAt", [](int g) { return RenderGraphAt(5, 5, g, 0); }, 0},
    {"DrawGraphStretched", [](int g) { return DrawGraphStretched(5, 5, 40, 30, g, 0); }, 0},
    {"DrawGraphStretchedF", [](int g) { return DrawGraphStretchedF(5.5f, 5, 40, 30, g, 0); }, 0},
    {"DrawGraphTurned", [](int g) { return DrawGraphTurned(5, 5, g, 0); }, -1},
    {"DrawGraphSubRect", [](int g) { return DrawGraphSubRect(5, 5, 1, 1, 4, 4, g, 0, 0); }, 0},
    {"DrawGraphSubRect turned", [](int g) { return DrawGraphSubRect(5, 5, 1, 1, 4, 4, g, 0, 1); }, -1},
    {"DrawGraphSubRectScaled", [](int g) { return DrawGraphSubRectScaled(5, 5, 30, 30, 1, 1, 4, 4, g, 0); }, -1},
    {"RenderGraphRotated", [](int g) { return RenderGraphRotated(20, 20, 1.5, 0.3, g, 0, 0); }, 0},
    {"DrawGraphRotated", [](int g) { return DrawGraphRotated(20, 20, 1.5, 0.3, g, 0, 1); }, 0},
    {"DrawGraphRotatedPivot", [](int g) { return DrawGraphRotatedPivot(20, 20, 2, 2, 1.0, 0.0, g, 0, 0); }, -1},
    {"DrawGraphToQuadF", [](int g) { return DrawGraphToQuadF(0, 0, 16, 2, 18, 18, 1, 15, g, 0); }, 0},
    {"DrawPrimitiveGraph",
     [](int g) {
         const VERTEX2D v[3] = {{0, 0, 0, 0, 255, 255, 255, 255}, {20, 0, 1, 0, 255, 255, 255, 255},
                                {0, 20, 0, 1, 255, 255, 255, 255}};
         return DrawPrimitiveGraph(v, 3, 4, g, 0);
     },
     0, false},
};

TEST_F(GraphLibrary, DrawEntriesCheckTheAreaThenTheHandleThenTheBlendGraph)
{
    const int graph = CreateBlankGraph(16, 16, 1);
    FillGraphWithColor(graph, 200, 10, 10, 255);
    const int stale = CreateBlankGraph(16, 16, 1);
    DestroyGraphHandle(stale, 0);
    const int foreign = GetGraphRecord(graph)->Surfaces[0];  // a 2D surface's handle
    const int smallBlend = CreateBlankGraph(8, 8, 1);
    const std::vector<u32> clean = BackPixels();
    for (const Entry& e : kEntries) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.draw(stale), -1);
        EXPECT_EQ(e.draw(foreign), -1);
        EXPECT_EQ(e.draw(-1), -1);
        if (e.checksBlendGraph) {
            StoreBlendGraphSetting(smallBlend, 0, 0);
            EXPECT_EQ(e.draw(graph), -1);
            StoreBlendGraphSetting(-1, 0, 0);
        }
        StoreDrawArea(30, 30, 30, 60);
        EXPECT_EQ(e.draw(graph), 0);
        EXPECT_EQ(e.draw(stale), e.emptyAreaBadHandle);
        int area[4];
        ReadDrawArea(area);
        EXPECT_EQ(area[0], 30);
        EXPECT_EQ(area[3], 60);
        StoreDrawArea(0, 0, 320, 240);
        EXPECT_EQ(BackPixels(), clean);
        EXPECT_EQ(e.draw(graph), 0);
        EXPECT_NE(BackPixels(), clean);
        EraseScreen();
    }
    // Shapes: an empty area draws nothing and answers 0; a negative radius draws nothing.
    StoreDrawArea(30, 30, 60, 30);
    const DWORD white = GetColorValue(255, 255, 255);
    EXPECT_EQ(DrawLineSegment(0, 0, 100, 100, white, 1), 0);
    EXPECT_EQ(DrawLineSegment(0, 0, 100, 100, white, 3), 0);
    EXPECT_EQ(DrawCircleShape(40, 40, 10, white, 1), 0);
    StoreDrawArea(0, 0, 320, 240);
    EXPECT_EQ(DrawCircleShape(40, 40, -1, white, 1), 0);
    EXPECT_EQ(BackPixels(), clean);
}

// A draw for an inactive window waits for it; what runs in that wait (here
// the activation callback) may delete the graph the draw was given.
TEST_F(GraphLibrary, AGraphDeletedWhileTheDrawWaitedForTheWindowIsRefused)
{
    SysState.ActivateCallback = [](int active, void*) {
        if (active == 1) DeleteAllGraphHandles(0);
    };
    const auto deactivate = [] {
        SimulateFocusChange(SysState.MainWindow, false);
        ASSERT_EQ(SysState.ActiveFlag, 0);
        QueueFocusChange(SysState.MainWindow, true);
    };
    const std::vector<u32> clean = BackPixels();
    for (const Entry& e : kEntries) {
        SCOPED_TRACE(e.name);
        const int graph = CreateBlankGraph(16, 16, 1);
        FillGraphWithColor(graph, 200, 10, 10, 255);
        deactivate();
        EXPECT_EQ(e.draw(graph), -1);
        EXPECT_EQ(SysState.ActiveFlag, 1);
    }
    const int graph = CreateBlankGraph(16, 16, 1);
    deactivate();
    EXPECT_EQ(CaptureDrawScreenToGraph(0, 0, 16, 16, graph, 0), -1);
    SysState.ActivateCallback = nullptr;
    EXPECT_EQ(BackPixels(), clean);
}

TEST_F(GraphLibrary, DegenerateLinesAndPrimitivesDrawNothing)
{
    const std::vector<u32> clean = BackPixels();
    const DWORD white = GetColorValue(255, 255, 255);
    EXPECT_EQ(DrawLineSegment(50, 50, 50, 50, white, 3), 0);
    const VERTEX2D v[6] = {};
    for (int count : {0, -3, -1}) EXPECT_EQ(DrawPrimitiveGraph(v, count, 4, -5, 0), count == 0 ? 0 : -1) << count;
    EXPECT_EQ(DrawPrimitiveGraph(v, 4, 4, -5, 0), -1);
    EXPECT_EQ(DrawPrimitiveGraph(v, 2, 5, -5, 0), -1);
    EXPECT_EQ(DrawPrimitiveGraph(v, 6, 7, -5, 0), -1);
    EXPECT_EQ(BackPixels(), clean);
    // Thickness 2 goes through the triangle strip even on the 2D path.
    EXPECT_EQ(DrawLineSegment(10, 20, 30, 20, white, 2), 0);
    EXPECT_NE(BackPixels(), clean);
}

TEST(PrimitiveTriangles, StripsAlternateAndFansTurnAboutTheFirstVertex)
{
    int idx[12];
    ASSERT_EQ(BuildPrimitiveTriangleIndexes(5, 5, idx), 3);
    EXPECT_EQ(std::vector<int>(idx, idx + 9), (std::vector<int>{0, 1, 2, 3, 2, 1, 4, 2, 3}));
    ASSERT_EQ(BuildPrimitiveTriangleIndexes(5, 6, idx), 3);
    EXPECT_EQ(std::vector<int>(idx, idx + 9), (std::vector<int>{0, 1, 2, 3, 0, 2, 4, 0, 3}));
    ASSERT_EQ(BuildPrimitiveTriangleIndexes(6, 4, idx), 2);
    EXPECT_EQ(BuildPrimitiveTriangleIndexes(7, 4, idx), -1);
    EXPECT_EQ(BuildPrimitiveTriangleIndexes(2, 6, idx), -1);
    EXPECT_EQ(BuildPrimitiveTriangleIndexes(3, 3, idx), -1);
}

TEST_F(GraphLibrary, PivotAndSubRectDrawsEqualPlainOnes)
{
    WriteCoordinatePng("tile.png", 12, 10, 7);
    const int g = LoadGraphFile("tile.png", 1);
    EXPECT_EQ(DrawGraphRotatedPivot(40, 50, 3, 4, 1.0, 0.0, g, 0, 0), 0);
    const std::vector<u32> pivot = BackPixels();
    EraseScreen();
    EXPECT_EQ(DrawGraphAt(37, 46, g, 0), 0);
    EXPECT_EQ(BackPixels(), pivot);
    EraseScreen();
    // A part of the graph: only its w x h rectangle lands, at (x, y).
    EXPECT_EQ(DrawGraphSubRect(100, 100, 2, 3, 4, 5, g, 0, 0), 0);
    const std::vector<u32> px = BackPixels();
    int drawn = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (px[y * 320 + x] != pivot[0] && px[y * 320 + x] != px[0]) {
                ++drawn;
                EXPECT_TRUE(x >= 100 && x < 104 && y >= 100 && y < 105) << x << "," << y;
                EXPECT_EQ(px[y * 320 + x] & 0xFFFFFF, 0x070000u | u32(y - 100 + 3) << 8 | u32(x - 100 + 2));
            }
    EXPECT_EQ(drawn, 20);
}

// --- the 2D path over DirectDraw surfaces -------------------------------------

// The screen holds DirectDraw surfaces and graphs are made as such surfaces
// after the software renderer is turned off, so the draws lock and wrap them.
class SurfaceGraphs : public GraphLibrary {
protected:
    void SetUp() override
    {
        GraphLibrary::SetUp();
        if (HasFatalFailure()) return;
        saved_ = ScreenState.SoftwareRendering;
        ScreenState.SoftwareRendering = 0;
        ScreenState.GdiOnly = 0;
        target_ = CreateBlankGraph(64, 48, 1);
        source_ = CreateBlankGraph(16, 16, 1);
        ASSERT_NE(target_, -1);
        ASSERT_NE(source_, -1);
        ASSERT_NE(Image(target_)->Surface, nullptr);
        FillGraphWithColor(source_, 0, 0, 255, 255);
        ASSERT_EQ(SelectDrawTarget(target_), 0);
    }
    void TearDown() override
    {
        SelectDrawTarget(-2);
        DeleteAllGraphHandles(0);
        ScreenState.SoftwareRendering = saved_;
        ScreenState.GdiOnly = 1;
        GraphLibrary::TearDown();
    }
    static IMGSURFREC* Image(int graph)
    {
        return GetImageSurfaceRecord(GetSurface2DRecord(GetGraphRecord(graph)->Surfaces[0])->ImageSurface);
    }
    u32 TargetPixel(int x, int y)
    {
        IDirectDrawSurface7* s = Image(target_)->Surface;
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        if (FAILED(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr))) return 0xDEAD;
        u32 v = 0;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
        s->Unlock(nullptr);
        return v & 0xFFFFFF;
    }
    int saved_ = 0;
    int target_ = -1;
    int source_ = -1;
};

TEST_F(SurfaceGraphs, PlainAndBlendedDrawsReachTheSurface)
{
    EXPECT_EQ(DrawGraphAt(4, 4, source_, 0), 0);  // nothing blended: a plain copy
    EXPECT_EQ(TargetPixel(4, 4), 0x0000FFu);
    EXPECT_EQ(TargetPixel(3, 4), 0u);
    SelectBlendMode(1, 128);
    EXPECT_EQ(DrawGraphAt(30, 4, source_, 0), 0);
    EXPECT_EQ(TargetPixel(30, 4), 0x00007Fu);
    SelectBlendMode(0, 255);
    // A stretch wider than 32,767 pixels keeps its step in range and draws its clipped part.
    EXPECT_EQ(DrawGraphStretched(-50000, 30, 50000, 40, source_, 0), 0);
    EXPECT_EQ(TargetPixel(0, 30), 0x0000FFu);
    EXPECT_EQ(TargetPixel(63, 39), 0x0000FFu);
    // Wholly outside the draw area the locked path answers -1.
    EXPECT_EQ(DrawGraphStretched(100, 100, 140, 140, source_, 0), -1);
}

TEST_F(SurfaceGraphs, DrawsThroughTheMaskSurfaceLeaveMaskedPixelsUntouched)
{
    MaskScreen.Wanted = 1;
    ASSERT_EQ(CreateMaskScreen(1), 0);
    ASSERT_NE(MaskScreen.Surface, nullptr);
    std::memset(MaskScreen.Plane + 10 * MaskScreen.Pitch, 1, static_cast<std::size_t>(MaskScreen.Pitch) * 10);
    ASSERT_EQ(EnableMaskScreen(1), 0);
    for (int blend : {0, 1}) {
        SelectBlendMode(blend, 255);  // a plain copy, then the locked path
        const int x = blend == 0 ? 4 : 30;
        EXPECT_EQ(DrawGraphAt(x, 4, source_, 0), 0);
        EXPECT_EQ(TargetPixel(x, 9), 0x0000FFu) << blend;
        EXPECT_EQ(TargetPixel(x, 10), 0u) << blend;
        EXPECT_EQ(TargetPixel(x + 15, 19), 0u) << blend;
    }
    SelectBlendMode(0, 255);
    EnableMaskScreen(0);
    ReleaseMaskScreen();
    MaskScreen = MASKSCREEN{};
}

TEST_F(SurfaceGraphs, AFailedLockDrawsNothingAndLeavesNothingLocked)
{
    SelectBlendMode(1, 128);
    MarkAllDirectDrawSurfacesLost();
    EXPECT_EQ(DrawGraphAt(4, 4, source_, 0), -1);
    EXPECT_EQ(DrawLineSegment(0, 0, 20, 0, GetColorValue(255, 0, 0), 1), -1);
    EXPECT_EQ(Draw2DBlock.DestLocked, 0);
    EXPECT_EQ(Draw2DBlock.SourceLocked, 0);
    EXPECT_NE(RestoreAllSurfaces2D(), 0);
    EraseScreen();
    FillGraphWithColor(source_, 0, 0, 255, 255);
    EXPECT_EQ(DrawGraphAt(4, 4, source_, 0), 0);
    EXPECT_EQ(TargetPixel(4, 4), 0x00007Fu);
}

}  // namespace
