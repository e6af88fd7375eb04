// The generator's painter and PNG writer (raster.h); the pictures are drawn
// with it in pictures.cpp.
#include "tools/assets/raster.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

Colour Rgb(double r, double g, double b, double a) { return Colour{r, g, b, a}; }

Colour Mix(const Colour& p, const Colour& q, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return Colour{p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}

// Sine from its series after reduction to [-pi/2, pi/2]: the library sine may
// differ in the last bit from machine to machine, and that would show in the
// committed bytes.
double SinOf(double x)
{
    const double twoPi = 2 * kPi;
    x -= twoPi * std::floor(x / twoPi);  // 0 .. 2pi
    if (x > kPi) return -SinOf(x - kPi);
    if (x > kPi / 2) x = kPi - x;
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n < 12; ++n) {
        term *= -x2 / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double CosOf(double x) { return SinOf(x + kPi / 2); }

double Noise(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / static_cast<double>(0xFFFFFF);
}

Canvas::Canvas(int width, int height) : width_(width), height_(height), premultiplied_(4 * width * height, 0.0) {}

void Canvas::Paint(const Inside& inside, const Shader& shader)
{
    for (int j = 0; j < height_; ++j)
        for (int i = 0; i < width_; ++i) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    if (inside(i + (sx + 0.5) / 4, j + (sy + 0.5) / 4)) ++hits;
            if (hits == 0) continue;
            const Colour c = shader(i + 0.5, j + 0.5);
            const double a = c.a * hits / 16.0;
            double* p = &premultiplied_[4 * (j * width_ + i)];
            p[0] = c.r * a + p[0] * (1 - a);
            p[1] = c.g * a + p[1] * (1 - a);
            p[2] = c.b * a + p[2] * (1 - a);
            p[3] = a + p[3] * (1 - a);
        }
}

void Canvas::Paint(const Inside& inside, const Colour& colour)
{
    Paint(inside, [colour](double, double) { return colour; });
}

void Canvas::Fill(const Shader& shader)
{
    Paint([](double, double) { return true; }, shader);
}

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

std::string Canvas::EncodePng(bool withAlpha) const
{
    const int channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(channels) * width_ * height_);
    for (int k = 0; k < width_ * height_; ++k) {
        const double* p = &premultiplied_[4 * k];
        uint8_t* q = &pixels[static_cast<size_t>(channels) * k];
        q[0] = ToByte(p[0]);
        q[1] = ToByte(p[1]);
        q[2] = ToByte(p[2]);
        if (!withAlpha) continue;
        q[3] = ToByte(p[3] * 255);
        if (q[3] == 0) {
            q[0] = q[1] = q[2] = 0;
        } else if (q[3] == 255 && std::max({q[0], q[1], q[2]}) < 8) {
            // A path that keys on black must not punch holes into the shape.
            q[0] = q[1] = q[2] = 8;
        }
    }

    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "PNG encoding failed\n");
        std::exit(1);
    }
    png_set_write_fn(png, &out, AppendToString, FlushNothing);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width_, height_, 8, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int j = 0; j < height_; ++j) png_write_row(png, &pixels[static_cast<size_t>(channels) * width_ * j]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Inside Disc(double cx, double cy, double radius)
{
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius; };
}

Inside Ring(double cx, double cy, double inner, double outer)
{
    return [=](double x, double y) {
        const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d < outer * outer && d >= inner * inner;
    };
}

Inside Box(double x0, double y0, double x1, double y1)
{
    return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Inside RoundBox(double x0, double y0, double x1, double y1, double radius)
{
    return [=](double x, double y) {
        if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
        const double dx = std::max({x0 + radius - x, 0.0, x - (x1 - radius)});
        const double dy = std::max({y0 + radius - y, 0.0, y - (y1 - radius)});
        return dx * dx + dy * dy < radius * radius;
    };
}

Inside Segment(double x0, double y0, double x1, double y1, double halfWidth)
{
    return [=](double x, double y) {
        const double vx = x1 - x0, vy = y1 - y0;
        const double len2 = vx * vx + vy * vy;
        double t = len2 > 0 ? ((x - x0) * vx + (y - y0) * vy) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const double dx = x - (x0 + t * vx), dy = y - (y0 + t * vy);
        return dx * dx + dy * dy < halfWidth * halfWidth;
    };
}

Inside Polygon(std::vector<double> xy)
{
    return [xy = std::move(xy)](double x, double y) {
        bool in = false;
        const size_t n = xy.size() / 2;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const double xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
    };
}

Inside Star(double cx, double cy, double outer, double inner, int points, double turn)
{
    std::vector<double> xy;
    for (int k = 0; k < 2 * points; ++k) {
        const double angle = turn + kPi * k / points;
        const double r = k % 2 == 0 ? outer : inner;
        xy.push_back(cx + r * SinOf(angle));
        xy.push_back(cy - r * CosOf(angle));
    }
    return Polygon(std::move(xy));
}

Inside Union(Inside a, Inside b)
{
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) || b(x, y); };
}

Inside Minus(Inside a, Inside b)
{
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && !b(x, y); };
}

namespace {

const std::map<char, const char*>& Glyphs()
{
    // Seven rows of five cells each, top row first.
    static const std::map<char, const char*> glyphs = {
        {'A', ".###.#...##...#######...##...##...#"}, {'B', "####.#...##...#####.#...##...#####."},
        {'C', ".###.#...##....#....#....#...#.###."}, {'D', "####.#...##...##...##...##...#####."},
        {'E', "######....#....####.#....#....#####"}, {'F', "######....#....####.#....#....#...."},
        {'G', ".###.#...##....#.####...##...#.####"}, {'H', "#...##...##...#######...##...##...#"},
        {'I', ".###...#....#....#....#....#...###."}, {'J', "..###...#....#....#.#..#.#..#..##.."},
        {'K', "#...##..#.#.#..##...#.#..#..#.#...#"}, {'L', "#....#....#....#....#....#....#####"},
        {'M', "#...###.###.#.##.#.##...##...##...#"}, {'N', "#...###..##.#.##..###...##...##...#"},
        {'O', ".###.#...##...##...##...##...#.###."}, {'P', "####.#...##...#####.#....#....#...."},
        {'Q', ".###.#...##...##...##.#.##..#..##.#"}, {'R', "####.#...##...#####.#.#..#..#.#...#"},
        {'S', ".#####....#.....###.....#....#####."}, {'T', "#####..#....#....#....#....#....#.."},
        {'U', "#...##...##...##...##...##...#.###."}, {'V', "#...##...##...##...##...#.#.#...#.."},
        {'W', "#...##...##...##.#.##.#.###.###...#"}, {'X', "#...##...#.#.#...#...#.#.#...##...#"},
        {'Y', "#...##...#.#.#...#....#....#....#.."}, {'Z', "#####....#...#...#...#...#....#####"},
        {'0', ".###.#...##..###.#.###..##...#.###."}, {'1', "..#...##....#....#....#....#...###."},
        {'2', ".###.#...#....#...#...#...#...#####"}, {'3', "####.....#....#.###.....#....#####."},
        {'4', "...#...##..#.#.#..#.#####...#....#."}, {'5', "######....####.....#....##...#.###."},
        {'6', ".###.#....#....####.#...##...#.###."}, {'7', "#####....#...#...#...#....#....#..."},
        {'8', ".###.#...##...#.###.#...##...#.###."}, {'9', ".###.#...##...#.####....#....#.###."},
        {'/', "....#....#...#...#...#...#....#...."}, {'-', "................###................"},
        {':', "......##...##........##...##......."}, {'!', "..#....#....#....#....#.........#.."},
        {' ', "..................................."},
    };
    return glyphs;
}

}  // namespace

double TextWidth(const std::string& text, double cell)
{
    return text.empty() ? 0 : (6.0 * text.size() - 1) * cell;
}

Inside Text(const std::string& text, double x, double y, double cell)
{
    const int columns = static_cast<int>(6 * text.size());
    std::vector<bool> lit(static_cast<size_t>(columns) * 7, false);
    for (size_t k = 0; k < text.size(); ++k) {
        const auto found = Glyphs().find(text[k]);
        if (found == Glyphs().end()) continue;
        const std::string rows = found->second;
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 5; ++c)
                if (rows[r * 5 + c] == '#') lit[static_cast<size_t>(r) * columns + 6 * k + c] = true;
    }
    return [=](double px, double py) {
        const int c = static_cast<int>(std::floor((px - x) / cell));
        const int r = static_cast<int>(std::floor((py - y) / cell));
        return r >= 0 && r < 7 && c >= 0 && c < columns && lit[static_cast<size_t>(r) * columns + c];
    };
}
