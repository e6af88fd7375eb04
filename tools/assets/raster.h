// A small anti-aliased painter for the generator's pictures: shapes given as
// inside tests, painted with 4 x 4 samples per pixel, a block-letter font, and
// the PNG writer (libpng into memory). Only exact arithmetic and sqrt are
// used, so every machine paints the same pixels.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Colour {
    double r = 0, g = 0, b = 0, a = 1;  // channels 0-255, alpha 0-1
};

Colour Rgb(double r, double g, double b, double a = 1.0);
Colour Mix(const Colour& p, const Colour& q, double t);

constexpr double kPi = 3.14159265358979323846;
double SinOf(double x);
double CosOf(double x);
// Deterministic hash noise in 0..1 for integer coordinates and a seed.
double Noise(int x, int y, int seed);

using Inside = std::function<bool(double x, double y)>;
using Shader = std::function<Colour(double x, double y)>;

class Canvas {
public:
    Canvas(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Paints the shader's colour over every sample the shape covers.
    void Paint(const Inside& inside, const Shader& shader);
    void Paint(const Inside& inside, const Colour& colour);
    // Sets every pixel from the shader, whole coverage (backgrounds).
    void Fill(const Shader& shader);

    // RGBA: colour scaled by coverage, alpha = coverage, black where empty,
    // never pure black where whole. RGB: composited over black.
    std::string EncodePng(bool withAlpha) const;

private:
    int width_, height_;
    std::vector<double> premultiplied_;  // r, g, b, a per pixel; colour premultiplied
};

// Shape builders. Coordinates are in pixels, y down; pixel (i, j) covers
// [i, i+1) x [j, j+1).
Inside Disc(double cx, double cy, double radius);
Inside Ring(double cx, double cy, double inner, double outer);
Inside Box(double x0, double y0, double x1, double y1);
Inside RoundBox(double x0, double y0, double x1, double y1, double radius);
Inside Segment(double x0, double y0, double x1, double y1, double halfWidth);
Inside Polygon(std::vector<double> xy);  // even-odd rule over x, y pairs
Inside Star(double cx, double cy, double outer, double inner, int points, double turn);
Inside Union(Inside a, Inside b);
Inside Minus(Inside a, Inside b);

// Block letters (5 x 7 cells) of A-Z, digits and a few signs; 'cell' pixels
// per cell, one empty cell between letters.
double TextWidth(const std::string& text, double cell);
Inside Text(const std::string& text, double x, double y, double cell);
