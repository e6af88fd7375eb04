// A started library whose fonts come from hand-made glyphs, with the back
// screen's pixels at hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/screen.h"
#include "support/fake_font.h"
#include "support/library_fixture.h"

class FontFixture : public testing::TestWithParam<int> {
protected:
    int Bits() const { return GetParam(); }

    void SetUp() override
    {
        source_ = std::make_unique<FakeFontSource>();
        FakeFontSource& s = *source_;
        s.AddGlyph('A', 1, 10, 8, {"..#..", ".#.#.", "#...#", "#####", "#...#", "#...#"});
        s.AddGlyph('B', 0, 10, 9, {"####.", "#...#", "####.", "#...#", "####."});
        s.AddGlyph('x', 0, 5, 3, {"#"});
        s.AddGlyph('5', 0, 10, 8, {"###", "#..", "##.", "..#", "##."});
        s.AddGlyph('g', 0, 10, 4, {"1#8"});
        s.AddGlyph('v', 0, 13, 4, {"##", "#."});
        s.AddBlank(' ', 8);
        s.AddBlank(0x8140, 16);
        s.AddBlank(0x01, 5);
        ASSERT_EQ(StartDrawingLibrary(640, 480, Bits()), 0);
        Fill(0);
    }
    void TearDown() override
    {
        EndDrawingLibrary();
        source_.reset();
    }

    FakeFontSource& Source() { return *source_; }

    MEMIMG* Screen() const { return ScreenState.DrawImage; }
    std::uint32_t Get(int x, int y) const
    {
        const MEMIMG* img = Screen();
        std::uint32_t v = 0;
        std::memcpy(&v, img->Pixels + y * img->Body->Pitch + x * (Bits() / 8), Bits() / 8);
        return Bits() == 32 ? v & 0xFFFFFF : v;
    }
    void Fill(std::uint32_t v)
    {
        MEMIMG* img = Screen();
        for (int y = 0; y < img->Height; ++y)
            for (int x = 0; x < img->Width; ++x) std::memcpy(img->Pixels + y * img->Body->Pitch + x * (Bits() / 8), &v, Bits() / 8);
    }
    // The screen's colour value of 8-bit channels, without spare bits.
    std::uint32_t Raw(int r, int g, int b) const
    {
        return Bits() == 32 ? (static_cast<std::uint32_t>(r) << 16 | g << 8 | b)
                            : static_cast<std::uint32_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }

private:
    std::unique_ptr<FakeFontSource> source_;
};
