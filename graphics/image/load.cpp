// The image loader: decoding through the dispatch, the loader's mirroring
// through the converting copy, and the alpha-mask file name.
#include "graphics/image/load.h"

#include <cstring>

#include "core/memory.h"
#include "graphics/image/convert.h"

int LoadGraphImageFromStream(const STREAMREF* stream, int mirror, GraphImage* out)
{
    GraphImage image{};
    if (DecodeImageStream(stream, &image) != 0) {
        return -1;
    }
    if (mirror == 1) {
        const std::size_t size = GetImageBlockSize(image.Pitch, image.Height);
        void* flipped = size != 0 ? AllocMemory(size, __FILE__, __LINE__) : nullptr;
        RECT whole{0, 0, image.Width, image.Height};
        if (flipped == nullptr ||
            CopyPixelsConvertingFormat(flipped, image.Pitch, &image.Format, image.Pixels, image.Pitch, &image.Format,
                                       nullptr, 0, nullptr, 0, 0, &whole, 1, 0, 0, 0, 0, 0, 0, 0) < 0) {
            FreeMemory(flipped);
            FreeGraphImagePixels(&image);
            return -1;
        }
        FreeMemory(image.Pixels);
        image.Pixels = flipped;
    }
    *out = image;
    return 0;
}

int MakeAlphaMaskFileName(const char* path, char* out)
{
    const std::size_t length = std::strlen(path);
    if (length + 3 > ImagePathBufferSize) {
        out[0] = '\0';
        return -1;
    }
    const char* dot = std::strrchr(path, '.');
    const std::size_t stem = dot != nullptr ? static_cast<std::size_t>(dot - path) : length;
    std::memcpy(out, path, stem);
    std::memcpy(out + stem, "_a", 2);
    std::memcpy(out + stem + 2, path + stem, length - stem + 1);
    return 0;
}
