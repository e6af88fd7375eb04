// The 2D surface table and the 2D draw-target switch. The table is filled
// by the graph layer; until graphs exist it stays empty and only the screen
// targets can be selected.
#pragma once

// The table's high-water index, and the image surface handle of a slot
// below it (-1 for an empty slot).
int GetSurface2DHighWater();
int GetSurface2DImageSurfaceOfSlot(int slot);
// The handle of a live slot, -1 for an empty one.
int GetSurface2DHandleOfSlot(int slot);
// 0, also for a bad handle.
int DeleteSurface2D(int handle);
// Sets the screen state's current-target fields for the new target:
// 0, or -1 for a target that cannot be drawn to.
int SelectSurface2DDrawTarget(int target, int oldTarget);
// Restores the output surfaces, then every 2D surface; OR of the results.
int RestoreAllSurfaces2D();
