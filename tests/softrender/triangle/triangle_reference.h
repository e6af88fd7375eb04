// Reference model of the 2D triangle for the tests: the set-up and the row walk written
// literally from their rules (row counters, segment switches, per-row texel start), slow
// and with no code shared with the kernel. Whole parts are floored.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>

namespace triref {

inline std::int64_t Whole(std::int64_t fixed)
{
    // floor(fixed / 2^18) without relying on the shift
    std::int64_t q = fixed / 262144;
    if (fixed % 262144 != 0 && fixed < 0) --q;
    return q;
}

struct Pixel {
    std::int64_t x, y;
    std::int64_t u, v;  // fixed-point texel position at this pixel
};

struct Clip {
    std::int64_t left, top, right, bottom;
};

// Visits every pixel the triangle covers inside clip, in walk order, with its texel position.
// Answers false when the triangle is degenerate.
inline bool Walk(const std::int32_t* vtx, const Clip& clip, const std::function<void(const Pixel&)>& visit)
{
    std::int64_t X[3], Y[3], U[3], V[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = std::int64_t{vtx[4 * i]} * 262144 + 131072;
        Y[i] = std::int64_t{vtx[4 * i + 1]} * 262144 + 131072;
        U[i] = std::int64_t{vtx[4 * i + 2]} * 262144;
        V[i] = std::int64_t{vtx[4 * i + 3]} * 262144;
    }
    auto sortBy = [](const std::int64_t* key, int o[3]) {
        for (int i = 0; i < 2; ++i)
            for (int j = i + 1; j < 3; ++j)
                if (key[o[i]] > key[o[j]]) std::swap(o[i], o[j]);
    };
    int a[3] = {0, 1, 2};
    sortBy(X, a);
    const std::int64_t dx1 = Whole(X[a[1]] - X[a[0]]), dy1 = Whole(Y[a[1]] - Y[a[0]]);
    const std::int64_t du1 = Whole(U[a[1]] - U[a[0]]), dv1 = Whole(V[a[1]] - V[a[0]]);
    const std::int64_t dx2 = Whole(X[a[2]] - X[a[0]]), dy2 = Whole(Y[a[2]] - Y[a[0]]);
    const std::int64_t du2 = Whole(U[a[2]] - U[a[0]]), dv2 = Whole(V[a[2]] - V[a[0]]);
    const std::int64_t det = dy1 * dx2 - dy2 * dx1;
    if (det == 0) return false;
    auto grad = [&](std::int64_t num) {
        const double q = 262144.0 * static_cast<double>(num) / static_cast<double>(det);
        return static_cast<std::int64_t>(std::trunc(q));
    };
    const std::int64_t gux = grad(dy1 * du2 - dy2 * du1), guy = grad(du1 * dx2 - dx1 * du2);
    const std::int64_t gvx = grad(dy1 * dv2 - dy2 * dv1), gvy = grad(dv1 * dx2 - dx1 * dv2);
    const std::int64_t xb = Whole(X[a[0]]), yb = Whole(Y[a[0]]), ub = U[a[0]], vb = V[a[0]];

    int b[3] = {0, 1, 2};
    sortBy(Y, b);
    struct Seg { std::int64_t x, step, rows; };
    auto seg = [&](std::int64_t startX, int from, int to) {
        const std::int64_t n = Whole(Y[to] - Y[from]);
        return Seg{startX, (X[to] - startX) / n, n};
    };
    Seg left[2], right[2];
    int leftCount = 1, rightCount = 1;
    if (Y[b[0]] == Y[b[1]]) {
        const int lt = X[b[0]] < X[b[1]] ? b[0] : b[1], rt = lt == b[0] ? b[1] : b[0];
        left[0] = seg(X[lt], lt, b[2]);
        right[0] = seg(X[rt], rt, b[2]);
    } else if (Y[b[1]] == Y[b[2]]) {
        const int lb = X[b[1]] < X[b[2]] ? b[1] : b[2], rb = lb == b[1] ? b[2] : b[1];
        left[0] = seg(X[b[0]], b[0], lb);
        right[0] = seg(X[b[0]], b[0], rb);
    } else {
        const double longSlope = double(X[b[2]] - X[b[0]]) / (double(Y[b[2]] - Y[b[0]]) / 262144.0);
        const double shortSlope = double(X[b[1]] - X[b[0]]) / (double(Y[b[1]] - Y[b[0]]) / 262144.0);
        if (longSlope > shortSlope) {
            left[0] = seg(X[b[0]], b[0], b[1]);
            left[1] = seg(X[b[1]], b[1], b[2]);
            leftCount = 2;
            right[0] = seg(X[b[0]], b[0], b[2]);
        } else {
            left[0] = seg(X[b[0]], b[0], b[2]);
            right[0] = seg(X[b[0]], b[0], b[1]);
            right[1] = seg(X[b[1]] + 1, b[1], b[2]);
            rightCount = 2;
        }
    }

    std::int64_t y = Whole(Y[b[0]]);
    int li = 0, ri = 0;
    std::int64_t lx = left[0].x, rx = right[0].x, lrows = left[0].rows, rrows = right[0].rows;
    for (;;) {
        const std::int64_t L = Whole(lx), R = Whole(rx);
        const std::int64_t first = std::max(L, clip.left);
        std::int64_t count = R - first + 1;
        if (y >= clip.top && y < clip.bottom && first < clip.right && count > 0) {
            std::int64_t u = ub + (first - xb) * gux + (y - yb) * guy;
            std::int64_t v = vb + (first - xb) * gvx + (y - yb) * gvy;
            for (std::int64_t x = first; count > 0 && x < clip.right; ++x, --count) {
                visit(Pixel{x, y, u, v});
                u += gux;
                v += gvx;
            }
        }
        lx += left[li].step;
        rx += right[ri].step;
        ++y;
        --lrows;
        --rrows;
        if (lrows == 0) {
            if (li + 1 == leftCount) break;
            ++li;
            lx = left[li].x;
            lrows = left[li].rows;
            y = Whole(Y[b[1]]);
        }
        if (rrows == 0) {
            if (ri + 1 == rightCount) break;
            ++ri;
            rx = right[ri].x;
            rrows = right[ri].rows;
        }
    }
    return true;
}

}  // namespace triref
