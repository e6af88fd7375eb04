// The places where the image operators of the kernel families differ, taken
// straight from the operator templates (the stretch kernel's own behaviour is
// tested through the kernel).
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/blendtable.h"
#include "softrender/pixelops/image_ops.h"
#include "support/pixel_reference.h"

using namespace softpix;

namespace {

ImageOpCtx Ctx(int p)
{
    BuildSoftBlendTables();
    ImageOpCtx c{};
    c.Pp = BlendTables.ProductTable[p];
    c.Pb[0] = c.Pb[1] = c.Pb[2] = BlendTables.ProductTable[255];
    c.Sp = SignedProductRow(p);
    c.GraphFactor = BlendTables.BlendGraphFactorTable;
    c.P = std::uint32_t(p);
    return c;
}

template <class Op>
std::uint32_t ApplyOne(const ImageOpCtx& c, std::uint32_t texel, std::uint32_t d)
{
    std::uint8_t t[4], px[4];
    std::memcpy(t, &texel, 4);
    std::memcpy(px, &d, 4);
    Op::Apply(c, px, t, 0);
    std::uint32_t out;
    std::memcpy(&out, px, 4);
    return Op::DstBytes == 2 ? (out & 0xFFFF) : out;
}

std::uint32_t Ref(bool x8888, int mode, int p, std::uint32_t texel, std::uint32_t d, pixref::Family fam)
{
    pixref::ImageCase k{x8888, false, true, mode, p, 0xFFFFFF, false, 0, true, 0, false, fam, texel, nullptr};
    return pixref::ImagePixel(k, d).value_or(d);
}

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 11) | (g << 5) | b; }

}  // namespace

TEST(ImageOpFamilies, Mode4AlphaZeroWithKeySkipsOnlyInTheStretchKernel)
{
    const ImageOpCtx c = Ctx(255);
    const std::uint32_t texel = 0x003264C8, d = 0x441E140A;  // alpha 0
    using Stretch = ImageOp<PixFmt::X8888, false, true, 4, false, true, true, Family::Stretch>;
    using Tri = ImageOp<PixFmt::X8888, false, true, 4, false, true, true, Family::Tri2D>;
    using Rot = ImageOp<PixFmt::R565, false, true, 4, false, true, true, Family::RotTri3D>;
    EXPECT_EQ(ApplyOne<Stretch>(c, texel, d), d);
    EXPECT_EQ(ApplyOne<Tri>(c, texel, d), 0x44000000u);
    EXPECT_EQ(ApplyOne<Rot>(c, Rgb(31, 63, 31), Rgb(9, 9, 9)), 0u);
    EXPECT_EQ(Ref(true, 4, 255, texel, d, pixref::Family::Stretch), d);
    EXPECT_EQ(Ref(true, 4, 255, texel, d, pixref::Family::Tri2D), 0x44000000u);
    // Alpha 255 with the key takes the opaque formula.
    EXPECT_EQ(ApplyOne<Tri>(c, 0xFF3264C8, d), 0x44050707u);
}

TEST(ImageOpFamilies, FinerGreenOnlyInRotateAnd3DTriangles)
{
    // Mode 11, alpha 128, p = 255: green 1 over 63 gives 32 with the finer
    // green and 31 through the plain two-factor mix.
    const ImageOpCtx c = Ctx(255);
    const std::uint32_t texel = (128u << 16) | Rgb(0, 1, 0), d = Rgb(0, 63, 0);
    using Rot = ImageOp<PixFmt::R565, false, true, 11, false, true, false, Family::RotTri3D>;
    using Stretch = ImageOp<PixFmt::R565, false, true, 11, false, true, false, Family::Stretch>;
    EXPECT_EQ(G565(ApplyOne<Rot>(c, texel, d)), 32u);
    EXPECT_EQ(G565(ApplyOne<Stretch>(c, texel, d)), 31u);
    pixref::ImageCase k{false, false, true, 11, 255, 0xFFFFFF, false, 0, false, 0, false,
                        pixref::Family::RotTri3D, texel, nullptr};
    EXPECT_EQ(G565(*pixref::ImagePixel(k, d)), 32u);
}
