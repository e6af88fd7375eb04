// Reads the current device record's pending batch and the screen surfaces for the tests.
#include "support/d3d_batch_capture.h"

#include <cstring>

#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/drawstate.h"
#include "graphics/screen.h"
#include "platform/d3d/d3d_test.h"

namespace {

template <class T>
void Put(std::vector<std::uint32_t>& out, const T& v)
{
    static_assert(sizeof(T) == 4);
    std::uint32_t w = 0;
    std::memcpy(&w, &v, 4);
    out.push_back(w);
}

} // namespace

QueuedBatch CaptureQueuedBatch()
{
    QueuedBatch b;
    b.drawCalls = GetDirect3DDrawCallCount();
    const D3DDEVREC* r = CurrentD3DDevice();
    if (r == nullptr) return b;
    b.kind = r->BatchKind;
    b.texture = r->PendingTexture;
    for (DWORD i = 0; i < r->VertexCount; ++i) {
        const bool leading = i % 3 == 0;
        if (r->BatchKind == D3D_BATCH_TEX) {
            const TLVTXTEX& v = static_cast<const TLVTXTEX*>(r->Arrays[D3D_BATCH_TEX])[i];
            for (float f : {v.x, v.y, v.z, v.u, v.v}) Put(b.words, f);
            if (leading) Put(b.words, v.diffuse);
        } else if (r->BatchKind == D3D_BATCH_BLEND) {
            const TLVTXBLEND& v = static_cast<const TLVTXBLEND*>(r->Arrays[D3D_BATCH_BLEND])[i];
            for (float f : {v.x, v.y, v.z, v.u1, v.v1, v.u2, v.v2}) Put(b.words, f);
            if (leading) Put(b.words, v.color);
        } else {
            const TLVTXCOLOR& v = static_cast<const TLVTXCOLOR*>(r->Arrays[D3D_BATCH_COLOR])[i];
            for (float f : {v.x, v.y, v.z}) Put(b.words, f);
            if (leading) Put(b.words, v.color);
        }
    }
    return b;
}

std::ostream& operator<<(std::ostream& out, const QueuedBatch& b)
{
    return out << "{kind " << b.kind << ", texture " << b.texture << ", draws " << b.drawCalls << ", "
               << b.words.size() << " words}";
}

std::vector<std::uint32_t> DrawnScreenPixels()
{
    G_D3D_EndCurrentScene();
    IDirectDrawSurface7* s = DrawState.DrawTarget == DRAWTARGET_FRONT ? GetFrontScreenSurface() : GetBackScreenSurface();
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    std::vector<std::uint32_t> out;
    if (s == nullptr || s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return out;
    const DWORD bytes = d.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < d.dwHeight; ++y)
        for (DWORD x = 0; x < d.dwWidth; ++x) {
            std::uint32_t v = 0;
            std::memcpy(&v, static_cast<const BYTE*>(d.lpSurface) + y * d.lPitch + x * bytes, bytes);
            out.push_back(v);
        }
    s->Unlock(nullptr);
    return out;
}
