// Lifting per-call choices to template arguments: a frame calls
// WithBool/WithImageMode with a generic lambda, which then sees the choice as
// a constant (decltype(x)::value) and instantiates one loop per combination.
#pragma once

#include <type_traits>

#include "softrender/pixelops/image_ops.h"

namespace softpix {

template <bool B>
using BoolC = std::bool_constant<B>;
template <int M>
using ModeC = std::integral_constant<int, M>;

template <class Fn>
inline void WithBool(bool b, Fn&& fn)
{
    if (b) fn(BoolC<true>{});
    else fn(BoolC<false>{});
}

// The drawing modes of SelectImageMode/SelectFlatMode; false for anything else.
template <class Fn>
inline bool WithDrawingMode(int mode, Fn&& fn)
{
    switch (mode) {
    case 0: fn(ModeC<0>{}); return true;
    case 1: fn(ModeC<1>{}); return true;
    case 2: fn(ModeC<2>{}); return true;
    case 3: fn(ModeC<3>{}); return true;
    case 4: fn(ModeC<4>{}); return true;
    case 10: fn(ModeC<10>{}); return true;
    case 11: fn(ModeC<11>{}); return true;
    default: return false;
    }
}

// Lifts the keys every textured draw shares: blend mode, palette source,
// source alpha (direct sources only), blend graph and colour key. fn sees
// them as constants: fn(mode, palette, alpha, graph, key).
template <class Fn>
inline void WithTexturedKeys(int mode, bool palette, bool alpha, bool graph, bool trans, Fn&& fn)
{
    WithDrawingMode(mode, [&](auto m) {
        WithBool(palette, [&](auto p) {
            WithBool(alpha && !palette, [&](auto a) {
                WithBool(graph, [&](auto g) {
                    // A palette source never has alpha, at compile time too.
                    using AlphaC = BoolC<decltype(a)::value && !decltype(p)::value>;
                    WithBool(trans, [&](auto k) { fn(m, p, AlphaC{}, g, k); });
                });
            });
        });
    });
}

}  // namespace softpix
