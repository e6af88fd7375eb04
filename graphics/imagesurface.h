// Image-surface records: the DirectDraw surface or MEMIMG behind a 2D
// surface. The records come with the graph layer; these are the operations
// the screen layer calls around DirectDraw object changes.
#pragma once

int ReleaseImageSurfaceObjects(int imageSurface);
int CreateImageSurfaceObjects(int imageSurface);
int SetImageSurfaceColorKey(int imageSurface);
