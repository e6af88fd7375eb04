// The 3D triangle kernel's vector lane stage, written once over a register
// type: a group of pixels' depth tests and writes, perspective quotients and
// texel columns at once. Included only by triangle3d_avx2.cpp and
// triangle3d_sse2.cpp, after each switches to its instruction set; the ops
// struct O names the register's operations.
#pragma once

#include "softrender/triangle3d/triangle3d_loop.h"

namespace softrender {

template <class O>
struct Tri3DLaneWalk {
    using T = typename O::T;
    static constexpr int N = O::kLanes;

    T v[4], step[4];
    T fixedQ;
    bool constQ;
    T texW, texH, texWLast, texHLast;

    Tri3DLaneWalk(const Tri3DDraw& d, const Tri3DLanes& l)
    {
        for (int k = 0; k < 4; ++k) {
            v[k] = O::Ramp(l.v[k], l.step[k]);
            step[k] = O::Set1(static_cast<std::uint32_t>(N) * l.step[k]);
        }
        // With no change of q along the span one quotient serves every pixel;
        // q = 0 lanes are skipped whatever quotient they carry.
        constQ = l.step[kInterpQ] == 0;
        const std::int32_t q = static_cast<std::int32_t>(l.v[kInterpQ]);
        fixedQ = O::Set1(constQ && q != 0 ? static_cast<std::uint32_t>(0x20000000 / q) : 0u);
        texW = O::Set1(d.texWidth);
        texH = O::Set1(d.texHeight);
        texWLast = O::Set1(d.texWidth - 1);
        texHLast = O::Set1(d.texHeight - 1);
    }

    // The group's texel columns; answers the mask of skipped lanes. zp: the
    // group's depth values, or null.
    [[gnu::always_inline]] inline T Group(const Tri3DDraw& d, BYTE* zp, T* u, T* w)
    {
        T skip = O::CmpEq(v[kInterpQ], O::Zero());
        if (zp != nullptr) {
            const T z = O::LoadDepth(zp);
            const T n = O::ClampDepth(O::Sra(v[kInterpZ], 8));
            const T fail = O::CmpGt(n, z);
            if (d.depthWrite) O::StoreDepth(zp, O::Select(fail, z, n));
            skip = O::Or(skip, fail);
        }
        const T Q = constQ ? fixedQ : O::Quotient(v[kInterpQ]);
        *u = O::Srl(O::Mullo(O::Mullo(O::Sra(v[kInterpUQ], 10), Q), texW), 19);
        *w = O::Srl(O::Mullo(O::Mullo(O::Sra(v[kInterpVQ], 10), Q), texH), 19);
        skip = O::Or(skip, O::Or(O::UGt(*u, texWLast), O::UGt(*w, texHLast)));
        for (int k = 0; k < 4; ++k) v[k] = O::Add(v[k], step[k]);
        return skip;
    }
};

template <class O>
void RunTri3DLaneStage(const Tri3DDraw& d, Tri3DLanes& l, BYTE* zp, int n, std::uint32_t* uOut, std::uint32_t* wOut)
{
    using T = typename O::T;
    constexpr int N = O::kLanes;
    Tri3DLaneWalk<O> walk(d, l);
    int i = 0;
    for (; i + N <= n; i += N) {
        T u, w;
        const T skip = walk.Group(d, zp != nullptr ? zp + 2 * i : nullptr, &u, &w);
        O::Store(uOut + i, O::Or(u, skip));  // all ones: kTri3DSkip
        O::Store(wOut + i, w);
    }
    l.Advance(i);
    for (; i < n; ++i) {
        if (!Tri3DTexelAt(d, l.v, zp != nullptr ? zp + 2 * i : nullptr, &uOut[i], &wOut[i])) uOut[i] = kTri3DSkip;
        l.Advance(1);
    }
}

}  // namespace softrender
