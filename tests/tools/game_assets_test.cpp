// The committed game files against their generator: the generator writes
// them again byte for byte, and the pictures (read by the library's own
// decoder) and sounds keep the sizes and formats the game relies on.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/file/stream.h"
#include "core/memory.h"
#include "graphics/image/load.h"
#include "sound/decoder.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

uint32_t BigEndian(const std::string& b, size_t at)
{
    return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) | (uint32_t(uint8_t(b[at + 2])) << 8) |
           uint32_t(uint8_t(b[at + 3]));
}

uint32_t LittleEndian(const std::string& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | uint8_t(b[at + k]);
    return v;
}

const fs::path kData = ZARVO_DATA_DIR;

TEST(GameAssets, GeneratorWritesTheCommittedFilesAgain)
{
    const fs::path fresh = fs::current_path() / "generated";
    const std::string command = std::string("\"") + ZARVO_MAKE_ASSETS + "\" \"" + fresh.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    int compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fresh)) {
        if (!entry.is_regular_file()) continue;
        const fs::path relative = fs::relative(entry.path(), fresh);
        EXPECT_TRUE(ReadFile(entry.path()) == ReadFile(kData / relative)) << relative << " differs from the generator's";
        ++compared;
    }
    EXPECT_EQ(compared, 3 + 30 + 31 + 17);
    // No hand-made or stale file hides among the generated ones.
    for (const char* folder : {"date/graph", "date/sound", "date/stage"})
        for (const auto& entry : fs::directory_iterator(kData / folder))
            EXPECT_TRUE(fs::exists(fresh / fs::relative(entry.path(), kData))) << entry.path() << " is not generated";
}

TEST(GameAssets, PicturesHaveTheSizesTheGameDrawsWith)
{
    struct Expect { const char* stem; uint32_t width, height; bool alpha; };
    // Alpha where the game draws with transparency; sizes from the draw
    // positions and the barrels' pivots (pivot x is half the width).
    const Expect pictures[] = {
        {"my", 20, 20, true},         {"title", 640, 480, false},   {"chip", 5, 5, true},
        {"gameover", 400, 90, false}, {"haikei", 640, 480, false},  {"circle", 40, 40, true},
        {"dai20", 20, 20, true},      {"hou20", 8, 20, true},       {"dai40", 40, 40, true},
        {"hou40", 12, 40, true},      {"hou30w", 16, 30, true},     {"brock", 20, 20, false},
        {"brock2", 20, 20, false},    {"hou40w", 32, 40, true},     {"jirai", 20, 20, true},
        {"misaile", 14, 24, true},    {"marking", 32, 32, true},    {"misadai", 20, 20, true},
        {"brock_hibi", 20, 20, false}, {"reza", 28, 24, true},      {"kotei", 20, 20, true},
        {"hosi1", 64, 64, true},      {"hosi2", 64, 64, true},      {"hosi3", 64, 64, true},
        {"waku", 64, 64, true},       {"baria", 40, 40, true},      {"flash", 640, 480, false},
        {"clear", 400, 90, false},    {"record", 340, 60, false},   {"minibrock", 5, 5, false},
        {"etama", 12, 12, true},
    };
    for (const Expect& e : pictures) {
        const std::string png = ReadFile(kData / "date/graph" / (std::string(e.stem) + ".png"));
        ASSERT_GT(png.size(), 33u) << e.stem;
        EXPECT_EQ(png.substr(1, 3), "PNG") << e.stem;
        EXPECT_EQ(BigEndian(png, 16), e.width) << e.stem;
        EXPECT_EQ(BigEndian(png, 20), e.height) << e.stem;
        EXPECT_EQ(uint8_t(png[24]), 8) << e.stem << ": 8 bits per channel";
        EXPECT_EQ(uint8_t(png[25]), e.alpha ? 6 : 2) << e.stem << ": RGBA or RGB";
        EXPECT_EQ(uint8_t(png[28]), 0) << e.stem << ": not interlaced";
        EXPECT_FALSE(fs::exists(kData / "date/graph" / (std::string(e.stem) + "_a.png"))) << "a mask file would replace the alpha";

        // The library's own decoder reads it, alpha channel and all.
        GraphImage image{};
        ASSERT_EQ(LoadGraphImageFromSource(nullptr, png.data(), static_cast<uint32_t>(png.size()), 1, 0, &image), 0) << e.stem;
        EXPECT_EQ(image.Width, static_cast<int>(e.width)) << e.stem;
        EXPECT_EQ(image.Height, static_cast<int>(e.height)) << e.stem;
        EXPECT_EQ(image.Format.AlphaWidth > 0, e.alpha) << e.stem;
        FreeGraphImagePixels(&image);
    }
}

TEST(GameAssets, SoundsArePlainPcmAndTheMusicIsWholeBars)
{
    const char* stems[] = {"dmage", "shot", "hakai", "pipipi", "changemode", "ref", "select", "rockon", "misail",
                           "laser", "baramaki", "select2", "kaijyo", "batu", "loop", "canon", "shot2"};
    for (const char* stem : stems) {
        const std::string wav = ReadFile(kData / "date/sound" / (std::string(stem) + ".wav"));
        ASSERT_GE(wav.size(), 44u) << stem;
        EXPECT_EQ(wav.substr(0, 4), "RIFF") << stem;
        EXPECT_EQ(LittleEndian(wav, 4, 4), wav.size() - 8) << stem;
        EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ") << stem;
        EXPECT_EQ(LittleEndian(wav, 20, 2), 1u) << stem << ": PCM";
        EXPECT_EQ(LittleEndian(wav, 22, 2), 1u) << stem << ": mono";
        EXPECT_EQ(LittleEndian(wav, 24, 4), 22050u) << stem;
        EXPECT_EQ(LittleEndian(wav, 34, 2), 16u) << stem;
        EXPECT_EQ(wav.substr(36, 4), "data") << stem;
        EXPECT_EQ(LittleEndian(wav, 40, 4), wav.size() - 44) << stem;
        // The library's decoder takes it as plain PCM and gives back its samples.
        MEMSTREAM* stream = OpenMemoryStream(wav.data(), static_cast<uint32_t>(wav.size()));
        const STREAMREF ref{*GetMemoryStreamFunctions(), reinterpret_cast<STREAMHANDLE>(stream)};
        PCMCONV decoder{};
        ASSERT_EQ(SetupSoundDecoder(&ref, &decoder), 0) << stem;
        EXPECT_EQ(decoder.Kind, PCMCONV_KIND_PCMWAV) << stem;
        WAVEFORMATEX format{};
        void* pcm = nullptr;
        int size = 0;
        EXPECT_EQ(DecodeWholeSoundSource(&decoder, &format, &pcm, &size), 0) << stem;
        EXPECT_TRUE(pcm != nullptr && std::string(static_cast<const char*>(pcm), size) == wav.substr(44)) << stem;
        FreeMemory(pcm);
        CloseSoundDecoder(&decoder);
        CloseMemoryStream(reinterpret_cast<STREAMHANDLE>(stream));

        const double seconds = (wav.size() - 44) / 2 / 22050.0;
        if (std::string(stem) == "loop") {
            EXPECT_DOUBLE_EQ(seconds, 16.0) << "eight bars at 120 beats a minute";
            // The last sample leads into the first without a jump.
            const int first = int16_t(LittleEndian(wav, 44, 2));
            const int last = int16_t(LittleEndian(wav, wav.size() - 2, 2));
            EXPECT_LT(std::abs(first - last), 2000);
        } else {
            EXPECT_LE(seconds, 1.5) << stem << " is a short effect";
        }
    }
}

}  // namespace
