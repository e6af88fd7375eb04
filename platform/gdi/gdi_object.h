// The GDI objects' base and the registry the layer's files share: gdi.cpp
// owns the registry and the device contexts, font.cpp the font objects.
#pragma once

#include "platform/kernel/types.h"

#include <mutex>

struct GdiObject {
    virtual ~GdiObject() = default;
    virtual bool IsFont() const { return false; }
};

// The one lock over every GDI object and device context.
std::mutex& GdiMutex();
// Registers a new object so that SelectObject and DeleteObject know it.
HGDIOBJ RegisterGdiObject(GdiObject* object);
// The font selected into a context, or null (callers hold GdiMutex).
GdiObject* SelectedFontLocked(HDC dc);
