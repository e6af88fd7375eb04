// The Direct3D back-end's set-up as the screen rebuild calls it.
#pragma once

// 0 when a Direct3D device is ready on the front screen, else -1 (logged).
int G_D3D_Initialize();
