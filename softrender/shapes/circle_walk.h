// The midpoint walk (decision 3 - 2r) over one octant of a circle, shared by
// the software circle kernel and the Direct3D shapes: the outline as its
// eight symmetric points, the disc as horizontal spans. The callers clip and
// keep each row to one span; a row may be offered more than once. Inlined so
// that the callers' plots stay in registers inside the walk.
#pragma once

namespace softrender {

// plot(col, row) for each outline point.
template <class T, class PLOT>
[[gnu::always_inline]] inline void WalkCircleOutline(T x, T y, T r, PLOT&& plot)
{
    plot(x - r, y);
    plot(x + r, y);
    plot(x, y + r);
    plot(x, y - r);
    T d = 3 - 2 * r, py = r;
    if (d >= 0) {
        d += 10 - 4 * r;
        py = r - 1;
    } else {
        d += 6;
    }
    for (T px = 1; py >= 1 && py >= px; ++px) {
        plot(x + px, y + py);
        plot(x - px, y + py);
        plot(x + px, y - py);
        plot(x - px, y - py);
        plot(x + py, y + px);
        plot(x - py, y + px);
        plot(x + py, y - px);
        plot(x - py, y - px);
        if (d >= 0) {
            d += 4 * (px - py) + 10;
            --py;
        } else {
            d += 4 * px + 6;
        }
    }
}

// span(row, first col, last col) for each row of the disc.
template <class T, class SPAN>
[[gnu::always_inline]] inline void WalkCircleDisc(T x, T y, T r, SPAN&& span)
{
    span(y, x - r, x + r);
    T d = 3 - 2 * r, py = r;
    if (d >= 0) {
        span(y + r, x, x);
        span(y - r, x, x);
        d += 10 - 4 * r;
        py = r - 1;
    } else {
        d += 6;
    }
    for (T px = 1; py >= 1 && py >= px; ++px) {
        span(y + px, x - py, x + py);
        span(y - px, x - py, x + py);
        if (d >= 0) {
            span(y + py, x - px, x + px);
            span(y - py, x - px, x + px);
            d += 4 * (px - py) + 10;
            --py;
        } else {
            d += 4 * px + 6;
        }
    }
}

}  // namespace softrender
