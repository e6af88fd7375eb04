// Owns the draw entries and their common frame of checks: the empty draw
// area, the graph handle, the blend graph's size, the inactive wait, movie
// frames and the software front screen's read-back and flush. Calls the
// graph table, the drawing state, the back-end table and the screen layer.
#include "graphics/drawapi.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/blendtable.h"
#include "core/memory.h"
#include "core/inactivewait.h"
#include "core/number.h"
#include "graphics/backend.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/mask.h"
#include "graphics/screen.h"

namespace {

int Truncate(double v)
{
    return TruncateClamped(v, -1000000000, 1000000000, 0);
}

// A draw onto the front screen's software image, which is read back first
// and shown afterwards.
bool SoftwareFront()
{
    return CurrentDrawsInSoftwareImages() && DrawState.DrawTarget == DRAWTARGET_FRONT;
}

// What every graph draw checks first, the inactive wait among them: 0 to go
// on with *out, else the answer.
int CheckGraphDraw(int graph, GRAPHREC** out, int* answer)
{
    if (DrawState.DrawAreaEmpty == 1) {
        *answer = 0;
        return 1;
    }
    GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr || (DrawState.BlendGraph != -1 && CheckBlendGraphSize(g) != 0)) {
        *answer = -1;
        return 1;
    }
    WaitWhileInactive();
    // What runs in the wait (a rebuilt screen's restore, the activation
    // callback) may have deleted the graph.
    g = GetGraphRecord(graph);
    if (g == nullptr) {
        *answer = -1;
        return 1;
    }
    *out = g;
    return 0;
}

void BeginFront(int graph)
{
    if (graph >= 0) {
        const GRAPHREC* g = GetGraphRecord(graph);
        if (g != nullptr && g->Movie != -1) RefreshGraphMovieFrame(graph, 0);
    }
    if (SoftwareFront() && ScreenState.FrontImageStale == 1) RefreshFrontMemImg();
}

// The draw in progress, sent through the mask screen while that is active.
MASKEDDRAW g_maskedDraw;

void EndFront(const RECT& rect)
{
    EndMaskedDraw(&g_maskedDraw);
    if (SoftwareFront()) FlushFrontMemImgRect(&rect);
}

RECT Ordered(int x1, int y1, int x2, int y2)
{
    return RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// The device's add of the source by its alpha; the software kernels draw nothing in it.
constexpr int kDeviceAddMode = ToInt(BlendMode::Direct3DFirst);

bool Subtracting()
{
    return DrawState.BlendMode == ToInt(BlendMode::Subtract);
}

// True for a back-end that subtracts by inverting around an add.
bool SubtractsByInversion(const GRAPHICSBACKEND& b)
{
    return b.InvertsToSubtract != nullptr;
}

// 255 minus the destination over `rect`: a white box in the device's mode 3,
// whose blend is the source times one minus the destination. Answers the
// blend parameter in force before.
int InvertDestination(const GRAPHICSBACKEND& b, const RECT* rect)
{
    DRAWSTATE& d = DrawState;
    const DWORD white = ConvertRGBToScreenColor(255, 255, 255);
    const DWORD bright = d.DrawBright;
    const int param = d.BlendParam;
    // Full brightness on every channel: the screen's white value read as a
    // brightness would drop channels on a 16-bit screen.
    StoreBrightness(255, 255, 255);
    StoreBlendMode(ToInt(BlendMode::Subtract), 255);
    b.DrawFilledBox(rect->left, rect->top, rect->right, rect->bottom, white);
    StorePackedBrightness(bright);
    return param;
}

bool InvertsNow(const GRAPHICSBACKEND& b)
{
    return SubtractsByInversion(b) && b.InvertsToSubtract() == 1;
}

void BeginSubtractBy(const GRAPHICSBACKEND& b, const RECT* rect)
{
    if (InvertsNow(b)) StoreBlendMode(kDeviceAddMode, InvertDestination(b, rect));
}

void EndSubtractBy(const GRAPHICSBACKEND& b, const RECT* rect)
{
    if (InvertsNow(b)) StoreBlendMode(ToInt(BlendMode::Subtract), InvertDestination(b, rect));
}

// A draw through `b`, bracketed by the inversions when it subtracts that way.
template <class Draw>
int DrawThrough(const GRAPHICSBACKEND& b, const RECT& box, Draw draw)
{
    if (!SubtractsByInversion(b) || !Subtracting()) return draw();
    BeginSubtractBy(b, &box);
    const int answer = draw();
    EndSubtractBy(b, &box);
    return answer;
}

} // namespace

int BeginSubtractBlendByInversion(const RECT* rect)
{
    BeginSubtractBy(CurrentGraphicsBackend(), rect);
    return 0;
}

int EndSubtractBlendByInversion(const RECT* rect)
{
    EndSubtractBy(CurrentGraphicsBackend(), rect);
    return 0;
}

int RenderGraphAt(int x, int y, int graph, int trans)
{
    GRAPHREC* g = nullptr;
    int answer = 0;
    if (CheckGraphDraw(graph, &g, &answer) != 0) return answer;
    BeginFront(graph);
    const RECT box{x, y, x + g->Width, y + g->Height};
    BeginMaskedDraw(&g_maskedDraw, box);
    const GRAPHICSBACKEND& b = GraphBackend(g);
    answer = DrawThrough(b, box, [&] {
        return b.DrawGraphAt(x, y, static_cast<float>(x), static_cast<float>(y), g, trans, 1);
    });
    EndFront(box);
    return answer;
}

namespace {

// The integer entry asks the device to keep a keyed graph's alpha test; the
// float entry does not, and hands its exact corners to the device.
int DrawStretchedGraph(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2, int graph,
                       int trans, int keepAlphaTest)
{
    GRAPHREC* g = nullptr;
    int answer = 0;
    if (CheckGraphDraw(graph, &g, &answer) != 0) return answer;
    BeginFront(graph);
    const RECT box = Ordered(x1, y1, x2, y2);
    BeginMaskedDraw(&g_maskedDraw, box);
    const GRAPHICSBACKEND& b = GraphBackend(g);
    answer = DrawThrough(b, box, [&] {
        return b.DrawGraphStretched(x1, y1, x2, y2, fx1, fy1, fx2, fy2, g, trans, keepAlphaTest);
    });
    EndFront(box);
    return answer;
}

} // namespace

int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans)
{
    return DrawStretchedGraph(x1, y1, x2, y2, static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                              static_cast<float>(y2), graph, trans, 1);
}

int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int graph, int trans)
{
    return DrawStretchedGraph(Truncate(x1), Truncate(y1), Truncate(x2), Truncate(y2), x1, y1, x2, y2, graph, trans, 0);
}

int DrawGraphTurned(int x, int y, int graph, int trans)
{
    const GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    return DrawGraphStretched(x + g->Width, y, x, y + g->Height, graph, trans);
}

namespace {

// Narrows the draw area to `rect` within the current one and puts it back
// when it goes out of scope; the empty flag is left alone.
class DrawAreaNarrowing {
public:
    explicit DrawAreaNarrowing(RECT rect) : area_(DrawState.DrawArea), areaF_(DrawState.DrawAreaF)
    {
        ClipRectAgainstRect(&rect, &area_);
        DrawState.DrawArea = rect;
        DrawState.DrawAreaF = DrawAreaFOf(rect);
    }
    ~DrawAreaNarrowing()
    {
        DrawState.DrawArea = area_;
        DrawState.DrawAreaF = areaF_;
    }
    DrawAreaNarrowing(const DrawAreaNarrowing&) = delete;
    DrawAreaNarrowing& operator=(const DrawAreaNarrowing&) = delete;

private:
    RECT area_;
    DRAWAREAF areaF_;
};

} // namespace

int DrawGraphSubRect(int x, int y, int srcX, int srcY, int w, int h, int graph, int trans, int turn)
{
    DrawAreaNarrowing narrow(RECT{x, y, x + w, y + h});
    if (turn == 0) return RenderGraphAt(x - srcX, y - srcY, graph, trans);
    const GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    return DrawGraphTurned(x - g->Width + srcX + w, y - srcY, graph, trans);
}

int DrawGraphSubRects(const GRAPHSUBRECT* parts, int count, int graph, int trans)
{
    if (count <= 0) return 0;
    GRAPHREC* g = nullptr;
    int answer = 0;
    if (CheckGraphDraw(graph, &g, &answer) != 0) return answer;
    const GRAPHICSBACKEND& b = GraphBackend(g);
    // Each draw's frame would act (a movie frame, the software front, the
    // mask buffer, the subtract's inversions, the blend graph's check): the
    // parts go one by one.
    if (b.DrawGraphSubRects == nullptr || g->Movie != -1 || SoftwareFront() || MaskedDrawRedirects() ||
        (SubtractsByInversion(b) && Subtracting()) || DrawState.BlendGraph != -1) {
        for (int i = 0; i < count; ++i) {
            const GRAPHSUBRECT& p = parts[i];
            answer = DrawGraphSubRect(p.X, p.Y, p.SrcX, p.SrcY, p.Width, p.Height, graph, trans, 0);
        }
        return answer;
    }
    return b.DrawGraphSubRects(parts, count, g, trans);
}

int DrawGraphSubRectScaled(int x1, int y1, int x2, int y2, int srcX, int srcY, int w, int h, int graph, int trans)
{
    const GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    const bool mirrorX = x2 < x1;
    const bool mirrorY = y2 < y1;
    const RECT o = Ordered(x1, y1, x2, y2);
    DrawAreaNarrowing narrow(o);
    const double sx = static_cast<double>(o.right - o.left) / w;
    const double sy = static_cast<double>(o.bottom - o.top) / h;
    int X1, X2, Y1, Y2;
    if (!mirrorX) {
        X1 = o.left - Truncate(srcX * sx);
        X2 = o.left + Truncate((g->Width - srcX) * sx);
    } else {
        X1 = o.right + Truncate(srcX * sx);
        X2 = o.right - Truncate((g->Width - srcX) * sx);
    }
    if (!mirrorY) {
        Y1 = o.top - Truncate(srcY * sy);
        Y2 = o.top + Truncate((g->Height - srcY) * sy);
    } else {
        Y1 = o.bottom + Truncate(srcY * sy);
        Y2 = o.bottom - Truncate((g->Height - srcY) * sy);
    }
    return DrawGraphStretched(X1, Y1, X2, Y2, graph, trans);
}

int RenderGraphRotated(float x, float y, double rate, double angle, int graph, int trans, int turn)
{
    GRAPHREC* g = nullptr;
    int answer = 0;
    if (CheckGraphDraw(graph, &g, &answer) != 0) return answer;
    const GRAPHICSBACKEND& b = GraphBackend(g);
    RECT box{};
    if (SoftwareFront() || MaskScreen.Active != 0 || (SubtractsByInversion(b) && Subtracting())) {
        const double w = g->Width;
        const double h = g->Height;
        const double hw = g->Width / 2;
        const double hh = g->Height / 2;
        const double px[4] = {-hw, w - hw, -hw, w - hw};
        const double py[4] = {-hh, -hh, h - hh, h - hh};
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        double l = 1e300, t = 1e300, r = -1e300, b = -1e300;
        for (int i = 0; i < 4; ++i) {
            const double qx = (px[i] * c - py[i] * s) * rate + x;
            const double qy = (px[i] * s + py[i] * c) * rate + y;
            l = std::min(l, qx);
            t = std::min(t, qy);
            r = std::max(r, qx);
            b = std::max(b, qy);
        }
        box = RECT{Truncate(l - 5), Truncate(t - 5), Truncate(r + 5), Truncate(b + 5)};
    }
    BeginFront(graph);
    BeginMaskedDraw(&g_maskedDraw, box);
    answer = DrawThrough(b, box, [&] { return b.DrawGraphRotated(x, y, rate, angle, g, trans, turn); });
    EndFront(box);
    return answer;
}

int RenderGraphRotatedInt(int x, int y, double rate, double angle, int graph, int trans, int turn)
{
    return RenderGraphRotated(static_cast<float>(x), static_cast<float>(y), rate, angle, graph, trans, turn);
}

int RenderGraphRotatedAtPivot(int x, int y, int pivotX, int pivotY, double rate, double angle, int graph, int trans,
                              int turn)
{
    int w = 0;
    int h = 0;
    if (GetGraphDimensions(graph, &w, &h) != 0) return -1;
    if (angle != 0.0 || angle != angle) {
        const double ox = (w * 0.5 - pivotX) * rate;
        const double oy = (h * 0.5 - pivotY) * rate;
        float s = 0.0f;
        float c = 0.0f;
        ComputeSinCos(static_cast<float>(angle), &s, &c);
        return RenderGraphRotated(static_cast<float>(x + (c * ox - s * oy)), static_cast<float>(y + (c * oy + s * ox)),
                                  rate, angle, graph, trans, turn);
    }
    if (rate != 1.0) {
        float x1 = static_cast<float>(x - pivotX * rate);
        const float y1 = static_cast<float>(y - pivotY * rate);
        float x2 = static_cast<float>(w * rate + x1);
        const float y2 = static_cast<float>(h * rate + y1);
        if (turn != 0) std::swap(x1, x2);
        return DrawGraphStretchedF(x1, y1, x2, y2, graph, trans);
    }
    if (turn != 0) return DrawGraphTurned(x - pivotX, y - pivotY, graph, trans);
    return RenderGraphAt(x - pivotX, y - pivotY, graph, trans);
}

int DrawGraphToQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                     int trans)
{
    GRAPHREC* g = nullptr;
    int answer = 0;
    if (CheckGraphDraw(graph, &g, &answer) != 0) return answer;
    RECT box{0xFFFFFF, 0xFFFFFF, 0, 0};
    const float xs[4] = {x1, x2, x3, x4};
    const float ys[4] = {y1, y2, y3, y4};
    for (int i = 0; i < 4; ++i) {
        box.left = std::min<LONG>(box.left, Truncate(xs[i]));
        box.top = std::min<LONG>(box.top, Truncate(ys[i]));
        box.right = std::max<LONG>(box.right, Truncate(xs[i]));
        box.bottom = std::max<LONG>(box.bottom, Truncate(ys[i]));
    }
    // A corner past a pixel's centre covers that pixel: the box takes it in.
    ++box.right;
    ++box.bottom;
    BeginFront(graph);
    BeginMaskedDraw(&g_maskedDraw, box);
    // The back-ends take the corners top-left, top-right, bottom-left, bottom-right.
    const GRAPHICSBACKEND& b = GraphBackend(g);
    answer = DrawThrough(b, box, [&] { return b.DrawGraphQuad(x1, y1, x2, y2, x4, y4, x3, y3, g, trans); });
    EndFront(box);
    return answer;
}

int BuildPrimitiveTriangleIndexes(int count, int kind, int* indexes)
{
    if (count <= 0) return -1;
    if (kind == 4) {
        if (count % 3 != 0) return -1;
        for (int i = 0; i < count; ++i) indexes[i] = i;
        return count / 3;
    }
    if ((kind != 5 && kind != 6) || count < 3) return -1;
    indexes[0] = 0;
    indexes[1] = 1;
    indexes[2] = 2;
    int n = 1;
    for (int i = 3; i < count; ++i, ++n) {
        int* t = indexes + 3 * n;
        if (kind == 6) {
            t[0] = i;
            t[1] = 0;
            t[2] = i - 1;
        } else if ((i - 3) % 2 == 0) {
            t[0] = i;
            t[1] = i - 1;
            t[2] = i - 2;
        } else {
            t[0] = i;
            t[1] = i - 2;
            t[2] = i - 1;
        }
    }
    return n;
}

int DrawPrimitiveGraph(const VERTEX2D* vertices, int count, int kind, int graph, int trans)
{
    if (DrawState.DrawAreaEmpty == 1) return 0;
    GRAPHREC* g = nullptr;
    if (graph != -5) {
        g = GetGraphRecord(graph);
        if (g == nullptr) return -1;
    }
    WaitWhileInactive();
    if (graph != -5) {
        // The graph may have gone in the wait.
        g = GetGraphRecord(graph);
        if (g == nullptr) return -1;
    }
    if (g != nullptr && g->Movie != -1) RefreshGraphMovieFrame(graph, 0);
    // No vertices draw nothing; a negative count or an unknown kind is refused.
    if (count <= 0) return count == 0 ? 0 : -1;
    if (kind != 4 && kind != 5 && kind != 6) return -1;

    const int triangles = kind == 4 ? count / 3 : count - 2;
    if (triangles <= 0 || (kind == 4 && count % 3 != 0)) return -1;
    auto* converted = static_cast<TLVTXTEX*>(AllocMemory(sizeof(TLVTXTEX) * count, __FILE__, __LINE__));
    auto* list = static_cast<TLVTXTEX*>(AllocMemory(sizeof(TLVTXTEX) * 3 * triangles, __FILE__, __LINE__));
    auto* indexes = static_cast<int*>(AllocMemory(sizeof(int) * 3 * triangles, __FILE__, __LINE__));
    int answer = -1;
    if (converted != nullptr && list != nullptr && indexes != nullptr &&
        BuildPrimitiveTriangleIndexes(count, kind, indexes) == triangles) {
        const DRAWSTATE& d = DrawState;
        const DWORD bright = d.DrawBright;
        const float dx = static_cast<float>(d.TargetScreenRect.left);
        const float dy = static_cast<float>(d.TargetScreenRect.top);
        double minX = 1e8, minY = 1e8, maxX = -1e8, maxY = -1e8;
        for (int i = 0; i < count; ++i) {
            const VERTEX2D& v = vertices[i];
            TLVTXTEX& t = converted[i];
            const DWORD b = BlendTables.ProductTable[bright & 0xFF][v.b];
            const DWORD gr = BlendTables.ProductTable[(bright >> 8) & 0xFF][v.g];
            const DWORD r = BlendTables.ProductTable[(bright >> 16) & 0xFF][v.r];
            const DWORD a = d.BlendMode != ToInt(BlendMode::Copy) ? BlendTables.ProductTable[d.BlendParam & 0xFF][v.a] : v.a;
            t = TLVTXTEX{v.x + dx, v.y + dy, 0.0f, 1.0f, b | (gr << 8) | (r << 16) | (a << 24), v.u, v.v};
            minX = std::min<double>(minX, v.x - 1);
            minY = std::min<double>(minY, v.y - 1);
            maxX = std::max<double>(maxX, v.x + 1);
            maxY = std::max<double>(maxY, v.y + 1);
        }
        for (int i = 0; i < 3 * triangles; ++i) list[i] = converted[indexes[i]];
        const RECT box{Truncate(minX), Truncate(minY), Truncate(maxX), Truncate(maxY)};
        BeginFront(-1);
        BeginMaskedDraw(&g_maskedDraw, box);
        // The current back-end draws plain triangles and its own graphs; the
        // 2D back-end draws any other graph.
        const GRAPHICSBACKEND& current = CurrentGraphicsBackend();
        const GRAPHICSBACKEND& b = g == nullptr || &GraphBackend(g) == &current ? current : SoftGraphicsBackend;
        answer = DrawThrough(b, box, [&] { return b.DrawTriangleList(list, triangles, g, trans, 0, 0); });
        EndFront(box);
    }
    FreeMemory(indexes);
    FreeMemory(list);
    FreeMemory(converted);
    return answer;
}

int DrawThickLine(int x1, int y1, int x2, int y2, DWORD colour, int thickness)
{
    if (thickness <= 0) thickness = 1;
    const double ex = static_cast<double>(x2) - x1;
    const double ey = static_cast<double>(y2) - y1;
    const double length = std::sqrt(ex * ex + ey * ey);
    // Equal ends have no direction to widen: nothing is drawn.
    if (length == 0.0) return 0;
    const double k = thickness * 0.5 / length;
    const float nx = static_cast<float>(ey * k);
    const float ny = static_cast<float>(-ex * k);
    int r = 0;
    int gr = 0;
    int b = 0;
    SplitColorValueToRGB(colour, &r, &gr, &b);
    const BYTE cb = static_cast<BYTE>(b);
    const BYTE cg = static_cast<BYTE>(gr);
    const BYTE cr = static_cast<BYTE>(r);
    const float fx1 = static_cast<float>(x1), fy1 = static_cast<float>(y1);
    const float fx2 = static_cast<float>(x2), fy2 = static_cast<float>(y2);
    const VERTEX2D v[4] = {
        {fx1 + nx, fy1 + ny, 0, 0, cb, cg, cr, 255},
        {fx2 + nx, fy2 + ny, 0, 0, cb, cg, cr, 255},
        {fx1 - nx, fy1 - ny, 0, 0, cb, cg, cr, 255},
        {fx2 - nx, fy2 - ny, 0, 0, cb, cg, cr, 255},
    };
    DrawPrimitiveGraph(v, 4, 5, -5, 0);
    return 0;
}

int RenderLineSegment(int x1, int y1, int x2, int y2, DWORD colour, int thickness)
{
    if (thickness > 1) return DrawThickLine(x1, y1, x2, y2, colour, thickness);
    if (DrawState.DrawAreaEmpty == 1) return 0;
    WaitWhileInactive();
    RECT box = Ordered(x1, y1, x2, y2);
    ++box.right;
    ++box.bottom;
    BeginFront(-1);
    BeginMaskedDraw(&g_maskedDraw, box);
    const GRAPHICSBACKEND& b = DrawState.LinesThrough2D == 0 ? CurrentGraphicsBackend() : SoftGraphicsBackend;
    const int answer = DrawThrough(b, box, [&] { return b.DrawLine(x1, y1, x2, y2, colour); });
    EndFront(box);
    return answer;
}

int RenderCircleShape(int x, int y, int r, DWORD colour, int fill)
{
    if (DrawState.DrawAreaEmpty == 1) return 0;
    WaitWhileInactive();
    if (r < 0) return 0;
    const RECT box{x - r - 1, y - r - 1, x + r + 1, y + r + 1};
    BeginFront(-1);
    BeginMaskedDraw(&g_maskedDraw, box);
    const GRAPHICSBACKEND& b = CurrentGraphicsBackend();
    const int answer = DrawThrough(b, box, [&] { return b.DrawCircle(x, y, r, colour, fill); });
    EndFront(box);
    return answer;
}
