// Hooks of the software Direct3D device for tests and benchmarks.
#pragma once

// DrawPrimitive and DrawIndexedPrimitive calls accepted so far.
long long GetDirect3DDrawCallCount();
// Triangles dropped before any pixel: zero area, culled or out of range.
long long GetDirect3DRejectedTriangleCount();
