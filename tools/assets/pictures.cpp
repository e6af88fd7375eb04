// The game's 31 pictures, painted with raster.h. Play pictures are bright
// shapes on black (most are drawn additively); enemies carry a strong red
// channel so the red sighting tint keeps them visible; barrels point down from
// their pivot. Names, sizes and pivots: ASSETS.md.
#include <string>

#include "tools/assets/asset_file.h"
#include "tools/assets/raster.h"

namespace {

AssetFile Picture(const std::string& stem, const Canvas& canvas, bool withAlpha)
{
    return {"date/graph/" + stem + ".png", canvas.EncodePng(withAlpha)};
}

Shader Vertical(Colour top, Colour bottom, double y0, double y1)
{
    return [=](double, double y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); };
}

Shader Radial(Colour centre, Colour edge, double cx, double cy, double radius)
{
    return [=](double x, double y) {
        const double d = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (radius * radius);
        return Mix(centre, edge, d);
    };
}

Inside RegularPolygon(double cx, double cy, double radius, int sides, double turn)
{
    std::vector<double> xy;
    for (int k = 0; k < sides; ++k) {
        const double a = turn + 2 * kPi * k / sides;
        xy.push_back(cx + radius * CosOf(a));
        xy.push_back(cy + radius * SinOf(a));
    }
    return Polygon(std::move(xy));
}

Inside Frame(double x0, double y0, double x1, double y1, double radius, double width)
{
    return Minus(RoundBox(x0, y0, x1, y1, radius),
                 RoundBox(x0 + width, y0 + width, x1 - width, y1 - width, radius > width ? radius - width : 0));
}

// Block letters with a drop shadow and a top-to-bottom gradient.
void Banner(Canvas& c, const std::string& text, double y, double cell, Colour top, Colour bottom)
{
    const double x = (c.Width() - TextWidth(text, cell)) / 2;
    c.Paint(Text(text, x + cell * 0.6, y + cell * 0.6, cell), Rgb(70, 20, 10));
    c.Paint(Text(text, x, y, cell), Vertical(top, bottom, y, y + 7 * cell));
    // A light seam across the upper third of every letter.
    c.Paint([=, t = Text(text, x, y, cell)](double px, double py) { return t(px, py) && py >= y + cell * 1.2 && py < y + cell * 1.6; },
            Rgb(255, 255, 255, 0.45));
}

Canvas Player()
{
    Canvas c(20, 20);
    c.Paint(Star(10, 10, 9.8, 3.6, 4, 0), Radial(Rgb(235, 255, 255), Rgb(30, 150, 255), 10, 10, 9.8));
    c.Paint(Disc(10, 10, 2.6), Rgb(255, 255, 255));
    return c;
}

Canvas Title()
{
    Canvas c(640, 480);
    c.Fill([](double x, double y) {
        Colour sky = Mix(Rgb(10, 14, 44), Rgb(44, 22, 70), y / 480);
        const double n = Noise(static_cast<int>(x), static_cast<int>(y), 7);
        if (n > 0.9975) sky = Mix(sky, Rgb(255, 255, 255), (n - 0.9975) / 0.0025);
        return sky;
    });
    // Slanted light beams behind the logo.
    for (int k = 0; k < 5; ++k) {
        const double x0 = 40 + 130 * k;
        c.Paint(Polygon({x0, 0, x0 + 40, 0, x0 + 140, 480, x0 + 100, 480}), Rgb(120, 140, 255, 0.05));
    }
    Banner(c, "ZARVO", 8, 8, Rgb(255, 240, 150), Rgb(255, 110, 40));

    // The stage grid's panel; the icons sit at (50 + 65c, 85 + 65r).
    c.Paint(RoundBox(38, 74, 441, 422, 14), Rgb(16, 22, 60, 0.9));
    c.Paint(Frame(38, 74, 441, 422, 14, 3), Rgb(100, 130, 230));
    // The information panel: black and red texts at x 450, the preview at (450, 140).
    c.Paint(RoundBox(444, 74, 632, 346, 12), Rgb(246, 242, 228));
    c.Paint(Frame(444, 74, 632, 346, 12, 3), Rgb(210, 175, 110));
    c.Paint(Box(447, 137, 613, 263), Rgb(226, 220, 200));
    // The keys.
    c.Paint(RoundBox(444, 354, 632, 422, 10), Rgb(16, 22, 60, 0.9));
    c.Paint(Frame(444, 354, 632, 422, 10, 2), Rgb(100, 130, 230));
    c.Paint(Text("ARROWS: MOVE", 454, 364, 2), Rgb(200, 220, 255));
    c.Paint(Text("Z: START", 454, 384, 2), Rgb(200, 220, 255));
    c.Paint(Text("Z: BARRIER", 454, 404, 2), Rgb(200, 220, 255));
    c.Paint(Text("SELECT A STAGE", 38, 440, 3), Rgb(255, 200, 120));
    return c;
}

Canvas Chip()
{
    Canvas c(5, 5);
    c.Paint(Disc(2.5, 2.5, 2.5), Radial(Rgb(255, 255, 230), Rgb(255, 150, 40), 2.5, 2.5, 2.5));
    return c;
}

Canvas WordBanner(int width, int height, const std::string& text, double cell, Colour top, Colour bottom, Colour line)
{
    Canvas c(width, height);
    const double textTop = (height - 7 * cell) / 2;
    c.Paint(Box(6, 3, width - 6, 5), line);
    c.Paint(Box(6, height - 5, width - 6, height - 3), line);
    Banner(c, text, textTop, cell, top, bottom);
    return c;
}

Canvas PlayBackground()
{
    Canvas c(640, 480);
    c.Fill([](double x, double y) {
        Colour base = Mix(Rgb(12, 16, 38), Rgb(26, 18, 44), y / 480);
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        if (ix % 80 == 0 || iy % 80 == 0) {
            base = Mix(base, Rgb(60, 80, 140), 0.45);
        } else if (ix % 20 == 0 || iy % 20 == 0) {
            base = Mix(base, Rgb(50, 66, 120), 0.25);
        }
        const double n = Noise(ix / 2, iy / 2, 11) * 6 - 3;
        return Rgb(base.r + n, base.g + n, base.b + n);
    });
    return c;
}

Canvas SpawnCircle()
{
    Canvas c(40, 40);
    c.Paint(Ring(20, 20, 15, 18), Rgb(120, 255, 200));
    for (int k = 0; k < 4; ++k) {
        const double a = kPi / 2 * k;
        c.Paint(Segment(20 + 11 * CosOf(a), 20 + 11 * SinOf(a), 20 + 19 * CosOf(a), 20 + 19 * SinOf(a), 1.5), Rgb(200, 255, 230));
    }
    return c;
}

Canvas SmallBase()
{
    Canvas c(20, 20);
    const double turn = kPi / 8;
    c.Paint(RegularPolygon(10, 10, 10, 8, turn), Rgb(255, 190, 110));
    c.Paint(RegularPolygon(10, 10, 8, 8, turn), Radial(Rgb(220, 120, 40), Rgb(150, 70, 20), 10, 10, 8));
    c.Paint(Disc(10, 10, 4.5), Rgb(255, 225, 130));
    return c;
}

Canvas LargeBase()
{
    Canvas c(40, 40);
    c.Paint(Star(20, 20, 19.8, 16.5, 12, 0), Rgb(255, 190, 90));
    c.Paint(Disc(20, 20, 16), Radial(Rgb(230, 150, 50), Rgb(150, 80, 20), 20, 20, 16));
    c.Paint(Ring(20, 20, 9, 11.5), Rgb(255, 215, 110));
    for (int k = 0; k < 6; ++k) {
        const double a = kPi / 3 * k + kPi / 6;
        c.Paint(Disc(20 + 13.5 * CosOf(a), 20 + 13.5 * SinOf(a), 1.6), Rgb(255, 235, 170));
    }
    c.Paint(Disc(20, 20, 6), Rgb(255, 245, 200));
    return c;
}

// A barrel of the given width pointing down from its pivot (w/2, pivotY) to
// the bottom edge, with a mount around the pivot and a band at the muzzle.
Canvas Barrel(int width, int height, double pivotY, double barrelHalf, double mount, Colour body, Colour trim)
{
    Canvas c(width, height);
    const double cx = width / 2.0;
    c.Paint(Box(cx - barrelHalf, pivotY, cx + barrelHalf, height), Vertical(body, Mix(body, trim, 0.5), pivotY, height));
    c.Paint(Box(cx - barrelHalf - 1, height - 4, cx + barrelHalf + 1, height), trim);
    c.Paint(Box(cx - barrelHalf * 0.3, pivotY + mount, cx + barrelHalf * 0.3, height - 4), Mix(body, trim, 0.7));
    c.Paint(Disc(cx, pivotY, mount), body);
    c.Paint(Disc(cx, pivotY, mount * 0.45), Rgb(255, 255, 230));
    return c;
}

Canvas FanBarrel()
{
    Canvas c(16, 30);
    c.Paint(Polygon({5, 11, 11, 11, 16, 30, 0, 30}), Vertical(Rgb(255, 150, 170), Rgb(255, 90, 130), 11, 30));
    for (double x : {4.0, 8.0, 12.0}) c.Paint(Segment(8, 16, x, 29, 0.7), Rgb(170, 40, 80));
    c.Paint(Disc(8, 13, 5), Rgb(255, 170, 185));
    c.Paint(Disc(8, 13, 2.2), Rgb(255, 255, 230));
    return c;
}

Canvas CannonBarrel()
{
    Canvas c(32, 40);
    c.Paint(Box(4, 3, 28, 12), Rgb(220, 90, 50));
    c.Paint(Box(9, 10, 23, 40), Vertical(Rgb(255, 140, 70), Rgb(230, 80, 40), 10, 40));
    c.Paint(Box(6, 32, 26, 40), Rgb(255, 170, 90));
    c.Paint(Box(13, 34, 19, 40), Rgb(120, 30, 15));
    c.Paint(Disc(16, 13, 8), Rgb(255, 150, 80));
    c.Paint(Disc(16, 13, 3.5), Rgb(255, 245, 200));
    return c;
}

Canvas SolidBlock()
{
    Canvas c(20, 20);
    c.Fill([](double, double) { return Rgb(46, 56, 100); });
    c.Paint(Frame(0, 0, 20, 20, 0, 2), Rgb(150, 170, 230));
    c.Paint(Polygon({0, 0, 20, 0, 18, 2, 2, 2, 2, 18, 0, 20}), Rgb(215, 225, 255));
    c.Paint(Box(3, 3, 17, 17), Vertical(Rgb(70, 82, 135), Rgb(40, 48, 90), 3, 17));
    c.Paint(Disc(10, 10, 2), Rgb(120, 140, 200));
    return c;
}

Canvas OpenBlock()
{
    Canvas c(20, 20);
    c.Fill([](double x, double y) {
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        if (ix == 0 || iy == 0 || ix == 19 || iy == 19) return Rgb(90, 225, 235);
        if (ix % 5 == 0 || iy % 5 == 0) return Rgb(26, 100, 120);
        return Rgb(8, 36, 48);
    });
    c.Paint(Segment(4, 9, 9, 4, 0.8), Rgb(150, 245, 255));
    return c;
}

Canvas CrackedBlock()
{
    Canvas c(20, 20);
    c.Fill([](double x, double y) {
        const double n = Noise(static_cast<int>(x), static_cast<int>(y), 3) * 24;
        return Rgb(120 + n, 76 + n * 0.6, 40);
    });
    c.Paint(Frame(0, 0, 20, 20, 0, 2), Rgb(230, 170, 100));
    const Colour crack = Rgb(20, 12, 8);
    c.Paint(Segment(2, 3, 8, 8, 0.8), crack);
    c.Paint(Segment(8, 8, 7, 13, 0.8), crack);
    c.Paint(Segment(8, 8, 14, 6, 0.8), crack);
    c.Paint(Segment(14, 6, 18, 2, 0.7), crack);
    c.Paint(Segment(7, 13, 12, 18, 0.8), crack);
    c.Paint(Segment(12, 18, 17, 15, 0.6), crack);
    return c;
}

Canvas Mine()
{
    Canvas c(20, 20);
    c.Paint(Star(10, 10, 9.9, 6, 8, 0), Rgb(255, 70, 120));
    c.Paint(Disc(10, 10, 5.2), Rgb(255, 150, 175));
    c.Paint(Disc(10, 10, 2.2), Rgb(255, 255, 220));
    return c;
}

Canvas LauncherTop()
{
    Canvas c(14, 24);
    c.Paint(Box(1, 6, 13, 14), Rgb(200, 190, 230));
    for (double x : {3.5, 10.5}) {
        c.Paint(Box(x - 2.5, 8, x + 2.5, 20), Rgb(245, 240, 255));
        c.Paint(Disc(x, 20, 2.5), Rgb(255, 70, 70));
    }
    c.Paint(Disc(7, 11, 2.5), Rgb(255, 255, 230));
    return c;
}

Canvas LockOn()
{
    Canvas c(32, 32);
    const Colour red = Rgb(255, 55, 55);
    c.Paint(Ring(16, 16, 10.5, 13), red);
    c.Paint(Segment(16, 1, 16, 9, 1.2), red);
    c.Paint(Segment(16, 23, 16, 31, 1.2), red);
    c.Paint(Segment(1, 16, 9, 16, 1.2), red);
    c.Paint(Segment(23, 16, 31, 16, 1.2), red);
    c.Paint(Disc(16, 16, 2.2), Rgb(255, 230, 80));
    return c;
}

Canvas LauncherBase()
{
    Canvas c(20, 20);
    c.Paint(RoundBox(0, 0, 20, 20, 4), Rgb(230, 110, 255));
    c.Paint(RoundBox(2, 2, 18, 18, 3), Rgb(120, 40, 150));
    c.Paint(Box(5, 3, 7, 17), Rgb(255, 180, 255));
    c.Paint(Box(13, 3, 15, 17), Rgb(255, 180, 255));
    c.Paint(Disc(10, 10, 3), Rgb(255, 230, 255));
    return c;
}

Canvas LaserEmitter()
{
    Canvas c(28, 24);
    const Colour prong = Rgb(255, 180, 255);
    c.Paint(Box(4, 2, 24, 9), prong);
    c.Paint(Polygon({4, 8, 10, 8, 10, 20, 7, 24, 4, 20}), prong);
    c.Paint(Polygon({18, 8, 24, 8, 24, 20, 21, 24, 18, 20}), prong);
    c.Paint(Disc(14, 15, 4.5), Radial(Rgb(255, 255, 255), Rgb(255, 60, 255), 14, 15, 4.5));
    c.Paint(Disc(14, 6, 4), Rgb(255, 210, 255));
    c.Paint(Disc(14, 6, 1.8), Rgb(255, 255, 230));
    return c;
}

Canvas FixedTurret()
{
    Canvas c(20, 20);
    c.Paint(RoundBox(1, 1, 19, 15, 3), Rgb(255, 215, 70));
    c.Paint(RoundBox(3, 3, 17, 13, 2), Rgb(170, 120, 20));
    c.Paint(Box(7, 11, 13, 20), Rgb(255, 245, 170));
    c.Paint(Box(9, 16, 11, 20), Rgb(150, 90, 10));
    c.Paint(Disc(10, 8, 3), Rgb(255, 255, 220));
    return c;
}

enum class Cell { Playable, Locked, Cleared };

Canvas GridCell(Cell state)
{
    Canvas c(64, 64);
    const Colour fill = state == Cell::Playable ? Rgb(36, 70, 160, 0.6)
                        : state == Cell::Locked ? Rgb(46, 46, 56, 0.6)
                                                : Rgb(120, 76, 16, 0.6);
    const Colour edge = state == Cell::Playable ? Rgb(120, 175, 255)
                        : state == Cell::Locked ? Rgb(105, 105, 118)
                                                : Rgb(255, 205, 90);
    // Only a thin frame and the star: the select screen's flickering red band
    // under the cursor's cell shows through the rest.
    c.Paint(Frame(3, 3, 61, 61, 10, 2), edge);
    c.Paint(Disc(32, 34, 20), fill);
    const Inside star = Star(32, 34, 24, 10, 5, 0);
    switch (state) {
    case Cell::Playable:
        c.Paint(star, Rgb(255, 225, 80));
        c.Paint(Star(32, 34, 17, 7, 5, 0), Rgb(60, 90, 170));
        break;
    case Cell::Locked:
        c.Paint(star, Rgb(80, 80, 92));
        c.Paint(Minus(Ring(32, 30, 5, 8.5), Box(0, 30, 64, 64)), Rgb(175, 175, 185));
        c.Paint(RoundBox(22, 29, 42, 46, 3), Rgb(175, 175, 185));
        c.Paint(Disc(32, 36, 2.5), Rgb(50, 50, 60));
        c.Paint(Box(31, 36, 33, 42), Rgb(50, 50, 60));
        break;
    case Cell::Cleared:
        c.Paint(Ring(32, 34, 20, 27), Rgb(255, 230, 120, 0.3));
        c.Paint(star, Radial(Rgb(255, 250, 200), Rgb(255, 165, 30), 32, 34, 24));
        c.Paint(Segment(24, 35, 30, 41, 2), Rgb(110, 60, 10));
        c.Paint(Segment(30, 41, 41, 27, 2), Rgb(110, 60, 10));
        break;
    }
    return c;
}

Canvas CursorFrame()
{
    Canvas c(64, 64);
    c.Paint(Frame(0, 0, 64, 64, 12, 5), Vertical(Rgb(255, 255, 210), Rgb(255, 180, 60), 0, 64));
    for (double x : {4.0, 60.0})
        for (double y : {4.0, 60.0}) c.Paint(Disc(x, y, 4), Rgb(255, 255, 255));
    return c;
}

Canvas Barrier()
{
    Canvas c(40, 40);
    c.Paint(Disc(20, 20, 19.8), [](double x, double y) {
        const double d2 = ((x - 20) * (x - 20) + (y - 20) * (y - 20)) / (19.8 * 19.8);
        return Rgb(110, 210, 255, 0.15 + 0.85 * d2 * d2);
    });
    c.Paint(Disc(13, 12, 3), Rgb(230, 250, 255, 0.8));
    return c;
}

Canvas Flash()
{
    Canvas c(640, 480);
    c.Fill([](double x, double y) {
        const double d2 = ((x - 320) * (x - 320) + (y - 240) * (y - 240)) / (400.0 * 400.0);
        const double v = 235 - 130 * d2;
        return Rgb(v, v, v + 15);
    });
    return c;
}

Canvas PreviewBlock()
{
    Canvas c(5, 5);
    c.Fill([](double, double) { return Rgb(40, 60, 130); });
    c.Paint(Box(1, 1, 4, 4), Rgb(95, 125, 205));
    return c;
}

Canvas Shot()
{
    Canvas c(12, 12);
    c.Paint(Disc(6, 6, 6), [](double x, double y) {
        const double d = ((x - 6) * (x - 6) + (y - 6) * (y - 6)) / 36;
        return Mix(Rgb(255, 255, 255), Rgb(255, 50, 140, 0.85), d * 1.5);
    });
    return c;
}

}  // namespace

AssetFiles MakePictureFiles()
{
    AssetFiles files;
    files.push_back(Picture("my", Player(), true));
    files.push_back(Picture("title", Title(), false));
    files.push_back(Picture("chip", Chip(), true));
    files.push_back(Picture("gameover", WordBanner(400, 90, "GAME OVER", 7, Rgb(255, 120, 120), Rgb(170, 20, 40), Rgb(150, 30, 40)), false));
    files.push_back(Picture("haikei", PlayBackground(), false));
    files.push_back(Picture("circle", SpawnCircle(), true));
    files.push_back(Picture("dai20", SmallBase(), true));
    files.push_back(Picture("hou20", Barrel(8, 20, 13, 3, 3.5, Rgb(255, 240, 150), Rgb(220, 150, 50)), true));
    files.push_back(Picture("dai40", LargeBase(), true));
    files.push_back(Picture("hou40", Barrel(12, 40, 13, 3, 5, Rgb(255, 238, 205), Rgb(225, 160, 80)), true));
    files.push_back(Picture("hou30w", FanBarrel(), true));
    files.push_back(Picture("brock", SolidBlock(), false));
    files.push_back(Picture("brock2", OpenBlock(), false));
    files.push_back(Picture("hou40w", CannonBarrel(), true));
    files.push_back(Picture("jirai", Mine(), true));
    files.push_back(Picture("misaile", LauncherTop(), true));
    files.push_back(Picture("marking", LockOn(), true));
    files.push_back(Picture("misadai", LauncherBase(), true));
    files.push_back(Picture("brock_hibi", CrackedBlock(), false));
    files.push_back(Picture("reza", LaserEmitter(), true));
    files.push_back(Picture("kotei", FixedTurret(), true));
    files.push_back(Picture("hosi1", GridCell(Cell::Playable), true));
    files.push_back(Picture("hosi2", GridCell(Cell::Locked), true));
    files.push_back(Picture("hosi3", GridCell(Cell::Cleared), true));
    files.push_back(Picture("waku", CursorFrame(), true));
    files.push_back(Picture("baria", Barrier(), true));
    files.push_back(Picture("flash", Flash(), false));
    files.push_back(Picture("clear", WordBanner(400, 90, "STAGE CLEAR", 6, Rgb(255, 245, 170), Rgb(255, 150, 30), Rgb(200, 150, 40)), false));
    files.push_back(Picture("record", WordBanner(340, 60, "NEW RECORD", 5, Rgb(255, 200, 230), Rgb(255, 60, 110), Rgb(200, 60, 100)), false));
    files.push_back(Picture("minibrock", PreviewBlock(), false));
    files.push_back(Picture("etama", Shot(), true));
    return files;
}
