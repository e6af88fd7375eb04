// Loading a GraphImage from a file or a memory block, optionally mirrored,
// and with its alpha mask ("_a" file). Decodes through decoders.h; the
// graph layer is the caller.
#pragma once

#include <cstddef>

#include "graphics/image/decoders.h"

constexpr std::size_t ImagePathBufferSize = 260;

// Decodes the stream into *out, mirrored horizontally when mirror is 1.
int LoadGraphImageFromStream(const STREAMREF* stream, int mirror, GraphImage* out);

// The mask file of an image: "_a" before the last '.', or appended when there
// is none. -1 when the name would not fit the 260-byte buffer.
int MakeAlphaMaskFileName(const char* path, char* out);
