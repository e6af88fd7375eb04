// One decoder, or the dispatch, over the fuzzer's bytes through a memory
// stream; whatever it accepts is freed again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/image/decoders.h"
#include "support/image_fixtures.h"

inline int FuzzImageDecoder(IMAGEDECODER decoder, const std::uint8_t* data, std::size_t size)
{
    Bytes bytes(data, data + size);
    TestMemoryStream stream(bytes);
    GraphImage image{};
    if (decoder(&stream.Ref, &image) == 0) {
        // Touch the first and last byte the descriptor claims.
        volatile std::uint8_t sink = static_cast<std::uint8_t*>(image.Pixels)[0];
        sink = static_cast<std::uint8_t*>(
            image.Pixels)[static_cast<std::size_t>(image.Pitch) * static_cast<std::size_t>(image.Height - 1) +
                          static_cast<std::size_t>(image.Width) * image.Format.BytesPerPixel - 1];
        (void)sink;
    }
    FreeGraphImagePixels(&image);
    return 0;
}

#define ZARVO_IMAGE_FUZZ_TARGET(decoder)                                                          \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)             \
    {                                                                                             \
        return FuzzImageDecoder(decoder, data, size);                                             \
    }
