// An independent model of the software Direct3D device's rules for the
// back-end's tests: pixel centres on integers, top-left fill on 1/256-pixel
// positions, flat colour from a triangle's first vertex, point sampling with
// clamping, the stage and blend rules, lines without their last pixel. It
// draws on a picture of the screen's raw pixels (X8R8G8B8 or R5G6B5).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/types.h"

namespace d3dmodel {

using u32 = std::uint32_t;

// 0xAARRGGBB texels of a w x h picture.
struct Picture {
    int w = 0, h = 0;
    std::vector<u32> argb;
};

int Mul(int a, int b);

// What the model draws with: a texture (or none), how colour and alpha are
// combined, the blend and the alpha test.
struct Pipe {
    const Picture* tex = nullptr;
    int texW = 1, texH = 1;  // the texture's power-of-two size
    bool modColour = false;  // texel x diffuse, else texel (or diffuse without texture)
    int alphaFrom = 0;       // 0 diffuse, 1 texel, 2 texel x diffuse
    int blend = 0;           // 0 none, 1 src-alpha / inv-src-alpha, 2 src-alpha / one
    bool alphaTest = false;  // alpha > 0 passes
    bool texture16 = false;  // graphs without alpha on a 16-bit screen keep 5 bits a channel
    // A blend graph on the first stage: its alpha times the diffuse alpha
    // is the alpha, tested against maskRef (greater or equal), nothing blended.
    const Picture* mask = nullptr;
    int maskW = 1, maskH = 1;
    int maskRef = 0;
};

struct Vtx {
    double x, y, u, v;
    u32 diffuse;  // 0xAARRGGBB
    double mu = 0, mv = 0;  // the blend graph's coordinates
};

class Model {
public:
    Model(bool x8888, int width = 640, int height = 480);

    void Fill(int r, int g, int b);
    void Triangle(const Pipe& p, const Vtx& a, const Vtx& b, const Vtx& c, const RECT& clip);
    // Columns (or rows) from the first end's nearest centre up to, not
    // including, the second end's.
    void Line(const Pipe& p, double ax, double ay, double bx, double by, u32 diffuse, const RECT& clip);
    void Point(const Pipe& p, double x, double y, u32 diffuse, const RECT& clip);
    // The shown 0xRRGGBB of a pixel.
    u32 Shown(int x, int y) const;
    int Width() const { return w_; }
    int Height() const { return h_; }

private:
    u32 Encode(int r, int g, int b) const;
    void Decode(u32 v, int* r, int* g, int* b) const;
    void Shade(const Pipe& p, int px, int py, double u, double v, u32 diffuse, double mu = 0, double mv = 0);

    bool x8888_;
    int w_, h_;
    std::vector<u32> px_;
};

// The library's quads: corners top-left, top-right, bottom-left, bottom-right
// as two triangles (0, 1, 2) and (3, 2, 1), the diffuse colour on the first of each.
void Quad(Model* m, const Pipe& p, const Vtx c[4], const RECT& clip);

// A w x h graph of one texture piece drawn at a point: its corners half a
// pixel up and left, clamped to the area when it leaves it.
void GraphAt(Model* m, const Pipe& p, int w, int h, int x, int y, const RECT& area, u32 diffuse);

// Pixels of the last presented picture that differ from the model; -1 when
// no picture of the model's size was presented. `first` names the first.
int CountDifferences(const Model& ref, std::string* first);

} // namespace d3dmodel
