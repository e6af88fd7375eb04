// Loading one PNG and one JPEG into a GraphImage through the library's
// decoders, beside a bare libpng / libjpeg decode of the same bytes into a
// buffer; the ratio is the cost of the stream glue and the descriptor.
#include <benchmark/benchmark.h>

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "graphics/image/decoders.h"
#include "support/image_fixtures.h"

namespace {

constexpr int Side = 512;

Bytes Picture(int components)
{
    std::mt19937 rng(7);
    Bytes s(static_cast<std::size_t>(Side) * Side * components);
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            for (int c = 0; c < components; ++c) {
                s[(static_cast<std::size_t>(y) * Side + x) * components + c] =
                    static_cast<std::uint8_t>(x + y * (c + 1) + (rng() & 15));
            }
        }
    }
    return s;
}

const Bytes& PngFile()
{
    static const Bytes file = WritePng(PngSpec{Side, Side, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, Picture(4), {}, {}});
    return file;
}

const Bytes& JpegFile()
{
    static const Bytes file = WriteJpeg(Side, Side, 3, Picture(3), false, 90);
    return file;
}

void LibraryDecode(benchmark::State& state, IMAGEDECODER decoder, const Bytes& file)
{
    for (auto _ : state) {
        TestMemoryStream stream(file);
        GraphImage image{};
        if (decoder(&stream.Ref, &image) != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(image.Pixels);
        FreeGraphImagePixels(&image);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size()));
}

struct PngReader {
    const Bytes* file;
    std::size_t at;
};

void ReadPng(png_structp png, png_bytep out, png_size_t n)
{
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (r->file->size() - r->at < n) {
        png_error(png, "short");
    }
    std::memcpy(out, r->file->data() + r->at, n);
    r->at += n;
}

void BM_PngLibrary(benchmark::State& state)
{
    LibraryDecode(state, DecodePngImage, PngFile());
}

void BM_PngBareLibpng(benchmark::State& state)
{
    const Bytes& file = PngFile();
    std::vector<png_bytep> rows;
    for (auto _ : state) {
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        PngReader reader{&file, 0};
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_read_struct(&png, &info, nullptr);
            state.SkipWithError("decode failed");
            break;
        }
        png_set_read_fn(png, &reader, ReadPng);
        png_read_info(png, info);
        png_set_bgr(png);
        png_read_update_info(png, info);
        std::size_t rowBytes = png_get_rowbytes(png, info);
        std::size_t height = png_get_image_height(png, info);
        // A fresh block per image, as the library's decoder allocates one.
        std::unique_ptr<std::uint8_t[]> pixels(new std::uint8_t[rowBytes * height]);
        rows.resize(height);
        for (std::size_t y = 0; y < height; ++y) {
            rows[y] = pixels.get() + y * rowBytes;
        }
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size()));
}

void BM_JpegLibrary(benchmark::State& state)
{
    LibraryDecode(state, DecodeJpegImage, JpegFile());
}

void BM_JpegBareLibjpeg(benchmark::State& state)
{
    const Bytes& file = JpegFile();
    for (auto _ : state) {
        int width = 0, height = 0, components = 0;
        Bytes pixels = DecodeJpegReference(file, &width, &height, &components);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size()));
}

} // namespace

BENCHMARK(BM_PngLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngBareLibpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBareLibjpeg)->Unit(benchmark::kMillisecond);
