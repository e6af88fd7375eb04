// Writes the fuzzers' seed corpus: small files of every format and variant
// the decoders handle, made by the fixture writers (one folder per format).
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/archive_writer.h"
#include "support/image_fixtures.h"
#include "support/ffmpeg_movie_writer.h"
#include "support/sound_fixtures.h"
#include "support/theora_movie_writer.h"

namespace {

void Save(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes)
{
    std::filesystem::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
}

Bytes Ramp(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];

    auto bmp = [&](const char* name, int w, int h, int bits, int compression, std::vector<std::uint32_t> table,
                   Bytes pixels) {
        BmpSpec s;
        s.width = w;
        s.height = h;
        s.bits = bits;
        s.compression = compression;
        s.table = std::move(table);
        s.pixels = std::move(pixels);
        Save(root / "bmp", name, WriteBmp(s));
    };
    bmp("1bit.bmp", 9, 2, 1, 0, {0, 0xFFFFFF}, Ramp(8));
    bmp("4bit.bmp", 5, -2, 4, 0, std::vector<std::uint32_t>(16, 0x123456), Ramp(8));
    bmp("8bit.bmp", 3, 2, 8, 0, std::vector<std::uint32_t>(256, 0x654321), Ramp(8));
    bmp("rle8.bmp", 6, 3, 8, 1, std::vector<std::uint32_t>(256, 0x111111),
        Bytes{0, 3, 7, 8, 9, 0, 2, 5, 0, 0, 0, 2, 2, 1, 1, 6, 0, 1});
    bmp("rle4.bmp", 6, -2, 4, 2, std::vector<std::uint32_t>(16, 0x222222), Bytes{3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 1});
    bmp("555.bmp", 3, 2, 16, 0, {}, Ramp(16));
    bmp("565.bmp", 3, -2, 16, 3, {0xF800, 0x7E0, 0x1F}, Ramp(16));
    bmp("24bit.bmp", 3, 2, 24, 0, {}, Ramp(24));
    bmp("32bit.bmp", 2, -2, 32, 3, {0xFF, 0xFF00, 0xFF0000}, Ramp(16));

    Save(root / "tga", "raw24.tga", WriteTga(2, 2, 2, 24, 0, Ramp(12)));
    Save(root / "tga", "rle32.tga", WriteTga(10, 2, 2, 32, 0x20, Bytes{0x82, 1, 2, 3, 4, 0, 5, 6, 7, 8}, 0, 0, 0, true));
    Save(root / "tga", "mapped.tga", WriteTga(1, 2, 2, 8, 0x30, Bytes{1, 2, 3, 4, 5, 6, 10, 11, 10, 11}, 10, 2, 24));
    Save(root / "tga", "mapped_rle.tga", WriteTga(9, 2, 2, 8, 0x10, Bytes{1, 2, 3, 4, 0x83, 0}, 0, 1, 32));
    Save(root / "tga", "raw16.tga", WriteTga(2, 2, 1, 16, 0x20, Bytes{0x00, 0xFC, 0x1F, 0x00}));

    Save(root / "dds", "bc1.dds", WriteDds(8, 4, 0x4, 0x31545844, 0, 0, 0, 0, 0, Ramp(16)));
    Save(root / "dds", "bc2.dds", WriteDds(4, 4, 0x4, 0x33545844, 0, 0, 0, 0, 0, Ramp(16)));
    Save(root / "dds", "bc3p.dds", WriteDds(6, 6, 0x4, 0x34545844, 0, 0, 0, 0, 0, Ramp(16)));
    Save(root / "dds", "565.dds", WriteDds(3, 2, 0x40, 0, 16, 0xF800, 0x7E0, 0x1F, 0, Ramp(16), 8));
    Save(root / "dds", "a8r8g8b8.dds", WriteDds(2, 2, 0x4, 21, 0, 0, 0, 0, 0, Ramp(16)));

    Save(root / "png", "rgb.png", WritePng(PngSpec{5, 3, PNG_COLOR_TYPE_RGB, 8, false, Ramp(45), {}, {}}));
    Save(root / "png", "rgba16.png", WritePng(PngSpec{2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 16, false, Ramp(32), {}, {}}));
    Save(root / "png", "palette.png",
         WritePng(PngSpec{4, 2, PNG_COLOR_TYPE_PALETTE, 2, false, Bytes{0x1B, 0xE4}, Ramp(12), Bytes{0, 128}}));
    Save(root / "png", "grey2.png", WritePng(PngSpec{4, 1, PNG_COLOR_TYPE_GRAY, 2, false, Bytes{0x1B}, {}, {}}));
    Save(root / "png", "greyalpha.png",
         WritePng(PngSpec{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, Bytes{1, 2, 3, 4}, {}, {}}));
    Save(root / "png", "interlaced.png", WritePng(PngSpec{9, 9, PNG_COLOR_TYPE_RGB, 8, true, Ramp(243), {}, {}}));

    Save(root / "jpeg", "baseline.jpg", WriteJpeg(16, 8, 3, Ramp(16 * 8 * 3), false, 80));
    Save(root / "jpeg", "progressive.jpg", WriteJpeg(9, 7, 3, Ramp(9 * 7 * 3), true, 80));
    Save(root / "jpeg", "grey.jpg", WriteJpeg(8, 8, 1, Ramp(64), false, 80));

    Save(root / "bgra", "8.bgra", WriteBgra(0x08080808, 2, 2, Ramp(16)));
    Save(root / "bgra", "16.bgra", WriteBgra(0x10101010, 2, 1, Ramp(16)));
    WriteArchiveFuzzSeeds(root.string());
    WriteWavFuzzSeeds(root.string());
    WriteCompressedSoundFuzzSeeds(root.string());

    // The network target: a leading even byte for frames, odd for an HTTP answer.
    const auto network = root / "network_fuzz";
    Save(network, "frames", Bytes{0, 3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 1, 0, 0, 0, 'z'});
    Save(network, "frame_split", Bytes{2, 5, 0, 0, 0, 'h', 'e'});
    auto text = [](char lead, const std::string& t) {
        Bytes b{static_cast<std::uint8_t>(lead)};
        b.insert(b.end(), t.begin(), t.end());
        return b;
    };
    Save(network, "http_length", text(1, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nServer: x\r\n\r\nhello"));
    Save(network, "http_close", text(1, "HTTP/1.0 200 OK\r\nA: b\r\n\r\nuntil the end"));
    Save(network, "http_404", text(1, "HTTP/1.0 404 Not Found\r\n\r\n"));

    auto movie = [&](const char* name, int width, int height, int chroma, int frames, bool sound, bool paged) {
        TheoraMovieSpec s;
        s.frameWidth = width;
        s.frameHeight = height;
        s.chroma = chroma;
        s.frames = frames;
        s.keyInterval = 2;
        s.sound = sound;
        s.pagePerFrame = paged;
        if (width == 32) {
            s.picWidth = 21;
            s.picHeight = 18;
            s.picX = 5;
            s.picY = 3;
        }
        Save(root / "theora_fuzz", name, WriteTheoraMovie(s));
    };
    movie("420.ogv", 16, 16, 420, 3, false, false);
    movie("paged.ogv", 16, 16, 420, 5, false, true);
    movie("444.ogv", 16, 16, 444, 2, false, false);
    movie("cropped422.ogv", 32, 32, 422, 2, false, true);
    movie("sound.ogv", 16, 16, 420, 2, true, false);

    // Stream movies come from the ffmpeg program; without it they are left out.
    std::filesystem::create_directories(root / "mediastream_fuzz");
    auto stream = [&](const char* name, const char* codec, int fps) {
        FfmpegMovieSpec s;
        s.width = 32;
        s.height = 16;
        s.frames = 4;
        s.fps = fps;
        s.codec = codec;
        WriteFfmpegMovie((root / "mediastream_fuzz" / name).string(), s);
    };
    stream("mpeg4.mp4", "mpeg4", 10);
    stream("mpeg4.avi", "mpeg4", 10);
    stream("mpeg1.mpg", "mpeg1video", 25);
    return 0;
}
