// Shared by the decoder tests: run one decoder over bytes and read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "graphics/image/decoders.h"
#include "support/image_fixtures.h"

// Owns the decoded pixels for the length of a test.
struct Decoded {
    GraphImage Image{};
    int Result = -1;
    Decoded(IMAGEDECODER decoder, const Bytes& bytes)
    {
        TestMemoryStream stream(bytes);
        Result = decoder(&stream.Ref, &Image);
        if (Result != 0) {
            EXPECT_EQ(Image.Pixels, nullptr) << "a refusing decoder leaves no pixels behind";
            Image.Pixels = nullptr;
        }
    }
    ~Decoded() { FreeGraphImagePixels(&Image); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;

    // 0xAARRGGBB through the image's own layout (palette entries for indexes).
    std::uint32_t Argb(int x, int y) const
    {
        DWORD r = 0, g = 0, b = 0, a = 0;
        EXPECT_EQ(GetGraphImagePixelRGBA(&Image, x, y, &r, &g, &b, &a), 0);
        return (a << 24) | (r << 16) | (g << 8) | b;
    }
    std::uint32_t Rgb(int x, int y) const { return Argb(x, y) & 0xFFFFFF; }
    const std::uint8_t* Row(int y) const
    {
        return static_cast<const std::uint8_t*>(Image.Pixels) + static_cast<std::ptrdiff_t>(y) * Image.Pitch;
    }
};
