// What the Direct3D back-end has queued and drawn at one moment: the fields
// each pending vertex was given (bit for bit), the batch's kind and texture
// and the device's draw calls so far; and the screen's pixels once drawn.
// Two ways of drawing the same thing compare equal when they queue and
// flush alike.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/d3d/d3d.h"

struct QueuedBatch {
    int kind = -1;
    IDirectDrawSurface7* texture = nullptr;
    long long drawCalls = 0;
    // Per vertex its position, depth and texture coordinates; its colour too
    // where a quad's triangle takes it (the first vertex of each).
    std::vector<std::uint32_t> words;

    bool operator==(const QueuedBatch&) const = default;
};

QueuedBatch CaptureQueuedBatch();
std::ostream& operator<<(std::ostream& out, const QueuedBatch& b);

// The raw pixels of the screen surface the draws land on (the front one
// while it is the draw target), the pending quads drawn first.
std::vector<std::uint32_t> DrawnScreenPixels();
