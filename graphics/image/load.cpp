// The image loader: files through the file layer's dispatchers, memory blocks
// as memory streams, decoding through the dispatch, mirroring through the
// converting copy, and the alpha mask named after the image.
#include "graphics/image/load.h"

#include <cstring>

#include "core/file/filefuncs.h"
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

int LoadGraphImageFromSource(const char* path, const void* data, std::uint32_t size, int fromMemory, int mirror,
                             GraphImage* out)
{
    STREAMREF stream;
    if (fromMemory == 0) {
        FILEHANDLE file = path != nullptr ? OpenLibraryFile(path, 0, 1, 0) : 0;
        if (file == 0) {
            return -1;
        }
        stream = STREAMREF{*GetFileStreamFunctions(), file};
        int result = LoadGraphImageFromStream(&stream, mirror, out);
        CloseLibraryFile(file);
        return result;
    }
    MEMSTREAM* memory = OpenMemoryStream(data, size);
    if (memory == nullptr) {
        return -1;
    }
    stream = STREAMREF{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(memory)};
    int result = LoadGraphImageFromStream(&stream, mirror, out);
    stream.Funcs.Close(stream.Handle);
    return result;
}

int LoadGraphImageWithAlphaMask(const char* path, const void* data, std::uint32_t size, int fromMemory,
                                const void* maskData, std::uint32_t maskSize, int maskMode, GraphImage* image,
                                GraphImage* mask, int mirror)
{
    if (LoadGraphImageFromSource(path, data, size, fromMemory, mirror, image) != 0) {
        return -1;
    }
    if ((maskMode == 1 && maskData == nullptr) || (maskMode != 0 && maskMode != 1)) {
        return 1;
    }
    char maskName[ImagePathBufferSize];
    const char* maskPath = nullptr;
    if (path != nullptr) {
        // A name that does not fit the buffer has no mask.
        if (MakeAlphaMaskFileName(path, maskName) != 0) {
            if (maskMode == 0) {
                return 1;
            }
        } else {
            maskPath = maskName;
        }
    }
    return LoadGraphImageFromSource(maskPath, maskData, maskSize, maskMode, mirror, mask) == 0 ? 0 : 1;
}
