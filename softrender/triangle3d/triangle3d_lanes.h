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

    // Named rather than indexed, so they stay in registers.
    T q, uq, vq, z;
    T stepQ, stepUQ, stepVQ, stepZ;
    bool constQ;
    T fixedQW, fixedQH;  // with constQ, the quotient times the texture's width and height
    T texW, texH, texWLast, texHLast;

    Tri3DLaneWalk(const Tri3DDraw& d, const Tri3DLanes& l)
    {
        q = O::Ramp(l.v[kInterpQ], l.step[kInterpQ]);
        uq = O::Ramp(l.v[kInterpUQ], l.step[kInterpUQ]);
        vq = O::Ramp(l.v[kInterpVQ], l.step[kInterpVQ]);
        z = O::Ramp(l.v[kInterpZ], l.step[kInterpZ]);
        stepQ = O::Set1(static_cast<std::uint32_t>(N) * l.step[kInterpQ]);
        stepUQ = O::Set1(static_cast<std::uint32_t>(N) * l.step[kInterpUQ]);
        stepVQ = O::Set1(static_cast<std::uint32_t>(N) * l.step[kInterpVQ]);
        stepZ = O::Set1(static_cast<std::uint32_t>(N) * l.step[kInterpZ]);
        // With no change of q along the span one quotient serves every pixel,
        // and products wrap alike in either order, so it is folded into the
        // texture's size; q = 0 lanes are skipped whatever they carry.
        constQ = l.step[kInterpQ] == 0;
        const std::int32_t q0 = static_cast<std::int32_t>(l.v[kInterpQ]);
        const std::uint32_t Q = constQ && q0 != 0 ? static_cast<std::uint32_t>(0x20000000 / q0) : 0u;
        fixedQW = O::Set1(Q * d.texWidth);
        fixedQH = O::Set1(Q * d.texHeight);
        texW = O::Set1(d.texWidth);
        texH = O::Set1(d.texHeight);
        texWLast = O::Set1(d.texWidth - 1);
        texHLast = O::Set1(d.texHeight - 1);
    }

    // The group's texel columns; answers the mask of skipped lanes. zp: the
    // group's depth values, or null.
    [[gnu::always_inline]] inline T Group(const Tri3DDraw& d, BYTE* zp, T* u, T* w)
    {
        T skip = O::CmpEq(q, O::Zero());
        if (zp != nullptr) {
            const T old = O::LoadDepth(zp);
            const T n = O::ClampDepth(O::Sra(z, 8));
            const T fail = O::CmpGt(n, old);
            if (d.depthWrite) O::StoreDepth(zp, O::Select(fail, old, n));
            skip = O::Or(skip, fail);
        }
        if (constQ) {
            *u = O::Srl(O::Mullo(O::Sra(uq, 10), fixedQW), 19);
            *w = O::Srl(O::Mullo(O::Sra(vq, 10), fixedQH), 19);
        } else {
            const T Q = O::Quotient(q);
            *u = O::Srl(O::Mullo(O::Mullo(O::Sra(uq, 10), Q), texW), 19);
            *w = O::Srl(O::Mullo(O::Mullo(O::Sra(vq, 10), Q), texH), 19);
        }
        skip = O::Or(skip, O::Or(O::UGt(*u, texWLast), O::UGt(*w, texHLast)));
        q = O::Add(q, stepQ);
        uq = O::Add(uq, stepUQ);
        vq = O::Add(vq, stepVQ);
        z = O::Add(z, stepZ);
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
