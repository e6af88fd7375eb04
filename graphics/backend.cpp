// Owns the choice of the current drawing back-end. Calls the Direct3D
// back-end's device state to see whether a Direct3D object exists.
#include "graphics/backend.h"

#include "graphics/d3d/d3ddevice.h"

namespace backend_detail {
// The 2D back-end until a screen start makes a Direct3D object.
const GRAPHICSBACKEND* Current = &SoftGraphicsBackend;
}

void SelectGraphicsBackend()
{
    backend_detail::Current = IsDirect3DActive() == 1 ? &Direct3DGraphicsBackend : &SoftGraphicsBackend;
}
