// Loading a GraphImage from a file or a memory block, optionally mirrored,
// and with its alpha mask ("_a" file). Decodes through decoders.h; the
// graph layer is the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/decoders.h"

constexpr std::size_t ImagePathBufferSize = 260;

// Decodes the file named by path (fromMemory 0) or the size bytes at data
// into *out, which then owns the pixels; 0 or -1.
int LoadGraphImageFromSource(const char* path, const void* data, std::uint32_t size, int fromMemory, int mirror,
                             GraphImage* out);

// Loads the image, then its mask: maskMode 0 the "_a" file of path, 1 the
// maskSize bytes at maskData (none when null), other values none. -1 when the
// image failed, 0 with image and mask, 1 with the image alone.
int LoadGraphImageWithAlphaMask(const char* path, const void* data, std::uint32_t size, int fromMemory,
                                const void* maskData, std::uint32_t maskSize, int maskMode, GraphImage* image,
                                GraphImage* mask, int mirror);

// Decodes the stream into *out, mirrored horizontally when mirror is 1.
int LoadGraphImageFromStream(const STREAMREF* stream, int mirror, GraphImage* out);

// The mask file of an image: "_a" before the last '.', or appended when there
// is none. -1 when the name would not fit the 260-byte buffer.
int MakeAlphaMaskFileName(const char* path, char* out);
