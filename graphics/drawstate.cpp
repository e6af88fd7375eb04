// The DRAWSTATE block. Zero at process start; its reset and setters are
// added with the draw entries.
#include "graphics/drawstate.h"

DRAWSTATE DrawState;
