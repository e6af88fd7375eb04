// The device model of d3d_model.h.
#include "support/d3d_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/display/display.h"

namespace d3dmodel {

namespace {

long long Snap(double v)
{
    return static_cast<long long>(std::floor(static_cast<float>(v) * 256.0 + 0.5));
}

// A centre on an edge belongs to the triangle only on its top or left edges.
bool Inside(const long long* X, const long long* Y, bool clockwise, long long px, long long py)
{
    for (int e = 0; e < 3; ++e) {
        int i = e, j = (e + 1) % 3;
        if (!clockwise) std::swap(i, j);
        const long long ex = X[j] - X[i], ey = Y[j] - Y[i];
        const long long w = ex * (py - Y[i]) - ey * (px - X[i]);
        if (w < 0) return false;
        if (w == 0 && !(ey < 0 || (ey == 0 && ex > 0))) return false;
    }
    return true;
}

} // namespace

int Mul(int a, int b)
{
    return (2 * a * b + 255) / 510;
}

Model::Model(bool x8888, int width, int height)
    : x8888_(x8888), w_(width), h_(height), px_(static_cast<std::size_t>(width) * height, 0)
{
}

void Model::Fill(int r, int g, int b)
{
    for (u32& v : px_) v = Encode(r, g, b);
}

void Model::Triangle(const Pipe& p, const Vtx& a, const Vtx& b, const Vtx& c, const RECT& clip)
{
    const long long X[3] = {Snap(a.x), Snap(b.x), Snap(c.x)}, Y[3] = {Snap(a.y), Snap(b.y), Snap(c.y)};
    const long long area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area == 0) return;
    const double x0 = X[0] / 256.0, y0 = Y[0] / 256.0;
    const double e1x = X[1] / 256.0 - x0, e1y = Y[1] / 256.0 - y0, e2x = X[2] / 256.0 - x0, e2y = Y[2] / 256.0 - y0;
    const double det = e1x * e2y - e2x * e1y;
    auto grad = [&](double f0, double f1, double f2, double* dx, double* dy) {
        *dx = ((f1 - f0) * e2y - (f2 - f0) * e1y) / det;
        *dy = ((f2 - f0) * e1x - (f1 - f0) * e2x) / det;
    };
    double udx, udy, vdx, vdy, mudx, mudy, mvdx, mvdy;
    grad(a.u, b.u, c.u, &udx, &udy);
    grad(a.v, b.v, c.v, &vdx, &vdy);
    grad(a.mu, b.mu, c.mu, &mudx, &mudy);
    grad(a.mv, b.mv, c.mv, &mvdx, &mvdy);
    const int top = std::max<int>(clip.top, 0), bottom = std::min<int>(clip.bottom, h_);
    const int left = std::max<int>(clip.left, 0), right = std::min<int>(clip.right, w_);
    for (int py = top; py < bottom; ++py)
        for (int px = left; px < right; ++px) {
            if (!Inside(X, Y, area > 0, px * 256LL, py * 256LL)) continue;
            const double u = a.u + udx * (px - x0) + udy * (py - y0);
            const double v = a.v + vdx * (px - x0) + vdy * (py - y0);
            const double mu = a.mu + mudx * (px - x0) + mudy * (py - y0);
            const double mv = a.mv + mvdx * (px - x0) + mvdy * (py - y0);
            Shade(p, px, py, u, v, a.diffuse, mu, mv);
        }
}

void Model::Line(const Pipe& p, double ax, double ay, double bx, double by, u32 diffuse, const RECT& clip)
{
    const double dx = bx - ax, dy = by - ay;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double s0 = xMajor ? ax : ay, s1 = xMajor ? bx : by;
    const long long c0 = static_cast<long long>(std::floor(s0 + 0.5)), c1 = static_cast<long long>(std::floor(s1 + 0.5));
    for (long long k = c0; k != c1; k += (c1 > c0 ? 1 : -1)) {
        double t = (k - s0) / (xMajor ? dx : dy);
        t = std::min(1.0, std::max(0.0, t));
        const long long m = static_cast<long long>(std::floor((xMajor ? ay + t * dy : ax + t * dx) + 0.5));
        const int px = static_cast<int>(xMajor ? k : m), py = static_cast<int>(xMajor ? m : k);
        if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom) Shade(p, px, py, 0, 0, diffuse);
    }
}

void Model::Point(const Pipe& p, double x, double y, u32 diffuse, const RECT& clip)
{
    const int px = static_cast<int>(std::floor(x + 0.5)), py = static_cast<int>(std::floor(y + 0.5));
    if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom) Shade(p, px, py, 0, 0, diffuse);
}

u32 Model::Shown(int x, int y) const
{
    const u32 v = px_[static_cast<std::size_t>(y) * w_ + x];
    if (x8888_) return v & 0xFFFFFF;
    const u32 r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

u32 Model::Encode(int r, int g, int b) const
{
    if (x8888_) return 0xFF000000u | static_cast<u32>(r) << 16 | static_cast<u32>(g) << 8 | static_cast<u32>(b);
    return static_cast<u32>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

void Model::Decode(u32 v, int* r, int* g, int* b) const
{
    if (x8888_) {
        *r = (v >> 16) & 0xFF, *g = (v >> 8) & 0xFF, *b = v & 0xFF;
        return;
    }
    const int R = (v >> 11) & 31, G = (v >> 5) & 63, B = v & 31;
    *r = R << 3 | R >> 2, *g = G << 2 | G >> 4, *b = B << 3 | B >> 2;
}

namespace {

// Point sampling with clamping; texels beyond the picture hold what the
// texture was created with: zero.
u32 Sample(const Picture* pic, int texW, int texH, double u, double v)
{
    int tx = static_cast<int>(std::floor(u * texW)), ty = static_cast<int>(std::floor(v * texH));
    tx = std::min(std::max(tx, 0), texW - 1);
    ty = std::min(std::max(ty, 0), texH - 1);
    return (tx < pic->w && ty < pic->h) ? pic->argb[static_cast<std::size_t>(ty) * pic->w + tx] : 0u;
}

} // namespace

void Model::Shade(const Pipe& p, int px, int py, double u, double v, u32 diffuse, double mu, double mv)
{
    const int dr = (diffuse >> 16) & 0xFF, dg = (diffuse >> 8) & 0xFF, db = diffuse & 0xFF, da = diffuse >> 24;
    int r = dr, g = dg, b = db, a = da;
    if (p.tex != nullptr) {
        const u32 t = Sample(p.tex, p.texW, p.texH, u, v);
        int tr = (t >> 16) & 0xFF, tg = (t >> 8) & 0xFF, tb = t & 0xFF;
        const int ta = t >> 24;
        if (p.texture16) {
            tr = (tr >> 3) << 3 | tr >> 5, tg = (tg >> 3) << 3 | tg >> 5, tb = (tb >> 3) << 3 | tb >> 5;
        }
        r = p.modColour ? Mul(tr, dr) : tr;
        g = p.modColour ? Mul(tg, dg) : tg;
        b = p.modColour ? Mul(tb, db) : tb;
        a = p.alphaFrom == 0 ? da : p.alphaFrom == 1 ? ta : Mul(ta, da);
    }
    if (p.mask != nullptr) {
        a = Mul(static_cast<int>(Sample(p.mask, p.maskW, p.maskH, mu, mv) >> 24), da);
        if (a < p.maskRef) return;
    }
    if (p.alphaTest && a <= 0) return;
    u32& dst = px_[static_cast<std::size_t>(py) * w_ + px];
    if (p.blend != 0) {
        int or_, og, ob;
        Decode(dst, &or_, &og, &ob);
        auto mix = [&](int s, int d) { return std::min(255, Mul(s, a) + (p.blend == 1 ? Mul(d, 255 - a) : d)); };
        r = mix(r, or_), g = mix(g, og), b = mix(b, ob);
    }
    dst = Encode(r, g, b);
}

void Quad(Model* m, const Pipe& p, const Vtx c[4], const RECT& clip)
{
    m->Triangle(p, c[0], c[1], c[2], clip);
    m->Triangle(p, c[3], c[2], c[1], clip);
}

void GraphAt(Model* m, const Pipe& p, int w, int h, int x, int y, const RECT& a, u32 diffuse)
{
    Vtx c[4];
    const double xs[2] = {x - 0.5, x - 0.5 + w}, ys[2] = {y - 0.5, y - 0.5 + h};
    const bool inside = x >= a.left && y >= a.top && x + w <= a.right && y + h <= a.bottom;
    for (int k = 0; k < 4; ++k) {
        double X = xs[k & 1], Y = ys[k >> 1];
        double u = (k & 1) ? static_cast<double>(static_cast<float>(w) / p.texW) : 0.0;
        double v = (k >> 1) ? static_cast<double>(static_cast<float>(h) / p.texH) : 0.0;
        if (!inside) {
            if (X < a.left) u += (a.left - X) / p.texW, X = a.left;
            else if (X > a.right) u -= (X - a.right) / p.texW, X = a.right;
            if (Y < a.top) v += (a.top - Y) / p.texH, Y = a.top;
            else if (Y > a.bottom) v -= (Y - a.bottom) / p.texH, Y = a.bottom;
        }
        c[k] = Vtx{X, Y, u, v, diffuse};
    }
    Quad(m, p, c, a);
}

int CountDifferences(const Model& ref, std::string* first)
{
    int width = 0, height = 0;
    const u32* shown = GetLastPresentedPixels(&width, &height);
    if (shown == nullptr || width != ref.Width() || height != ref.Height()) {
        *first = "no picture of the screen's size";
        return -1;
    }
    int differences = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((shown[y * width + x] & 0xFFFFFF) != ref.Shown(x, y) && differences++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) shown %06X, expected %06X", x, y,
                              shown[y * width + x] & 0xFFFFFF, ref.Shown(x, y));
                *first = text;
            }
    return differences;
}

} // namespace d3dmodel
