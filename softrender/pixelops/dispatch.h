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

}  // namespace softpix
