// Owns the MPEG audio frame header tables and the libmpg123 feed decoder
// behind the ACM stand-in's MPEG Layer-3 format.
#include "platform/acm/mpeg.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <new>

struct MpegConverter {
    mpg123_handle* Handle;
    WORD Channels;
    DWORD Rate;
};

namespace {

constexpr DWORD kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // MPEG-1 Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // MPEG-1 Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // MPEG-1 Layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},     // MPEG-2 Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},          // MPEG-2 Layers II, III
};
constexpr DWORD kRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

// The most samples one frame gives, for the scratch buffer.
constexpr std::size_t kMaxFrameSamples = 1152;

} // namespace

MpegHeaderResult ParseMpegAudioHeader(const std::uint8_t h[4], MPEGFRAMEINFO* info)
{
    if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0) return MpegHeaderResult::NoSync;
    MPEGFRAMEINFO f{};
    f.Version = (h[1] & 0x08) ? 1 : 2;
    const int layerBits = (h[1] >> 1) & 3;
    if (layerBits == 0) return MpegHeaderResult::Reserved;
    f.Layer = 4 - layerBits;
    f.BitrateIndex = h[2] >> 4;
    if (f.BitrateIndex == 15) return MpegHeaderResult::Reserved;
    if (f.BitrateIndex == 0) return MpegHeaderResult::NoSync;
    f.RateIndex = (h[2] >> 2) & 3;
    if (f.RateIndex == 3) return MpegHeaderResult::Reserved;
    const int row = f.Version == 1 ? f.Layer - 1 : (f.Layer == 1 ? 3 : 4);
    f.Bitrate = kBitrates[row][f.BitrateIndex];
    f.Rate = kRates[f.Version - 1][f.RateIndex];
    f.Padding = (h[2] >> 1) & 1;
    f.Channels = (h[3] >> 6) == 3 ? 1 : 2;
    if (f.Layer == 1) {
        f.FrameBytes = (12000 * f.Bitrate / f.Rate + f.Padding) * 4;
        f.Samples = 384;
    } else if (f.Version == 2 && f.Layer == 3) {
        f.FrameBytes = 72000 * f.Bitrate / f.Rate + f.Padding;
        f.Samples = 576;
    } else {
        // Layer II has 1152 samples in both versions.
        f.FrameBytes = 144000 * f.Bitrate / f.Rate + f.Padding;
        f.Samples = 1152;
    }
    *info = f;
    return MpegHeaderResult::Frame;
}

MpegConverter* OpenMpegConverter(WORD channels, DWORD rate)
{
    if (channels < 1 || channels > 2) return nullptr;
    int error = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (h == nullptr) return nullptr;
    const long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD |
                       (channels == 1 ? MPG123_MONO_MIX : MPG123_FORCE_STEREO);
    if (mpg123_param(h, MPG123_FLAGS, flags, 0) != MPG123_OK || mpg123_param(h, MPG123_VERBOSE, 0, 0) != MPG123_OK ||
        mpg123_format_none(h) != MPG123_OK ||
        mpg123_format(h, static_cast<long>(rate), channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    auto* c = new (std::nothrow) MpegConverter{h, channels, rate};
    if (c == nullptr) mpg123_delete(h);
    return c;
}

void CloseMpegConverter(MpegConverter* c)
{
    if (c == nullptr) return;
    mpg123_delete(c->Handle);
    delete c;
}

void ConvertMpegFrames(MpegConverter* c, const std::uint8_t* source, DWORD sourceBytes, std::uint8_t* destination,
                       DWORD destinationBytes, DWORD* sourceUsed, DWORD* produced)
{
    const DWORD frameBytes = 2u * c->Channels;
    unsigned char scratch[kMaxFrameSamples * 2 * 2];
    DWORD at = 0;
    DWORD out = 0;
    while (at + 4 <= sourceBytes) {
        MPEGFRAMEINFO f;
        if (ParseMpegAudioHeader(source + at, &f) != MpegHeaderResult::Frame) {
            ++at;
            continue;
        }
        const DWORD want = f.Samples * frameBytes;
        if (f.FrameBytes > sourceBytes - at || want > destinationBytes - out) break;
        DWORD got = 0;
        // A frame of another rate cannot come out in this stream's format.
        const bool decodable = f.Rate == c->Rate;
        if (decodable) mpg123_feed(c->Handle, source + at, f.FrameBytes);
        // Bounded: the decoder answers NEED_MORE once the frame is used up.
        for (int pass = 0; decodable && pass < 8; ++pass) {
            std::size_t done = 0;
            const int result = mpg123_read(c->Handle, scratch, sizeof scratch, &done);
            const DWORD take = std::min<DWORD>(static_cast<DWORD>(done), want - got);
            std::memcpy(destination + out + got, scratch, take);
            got += take;
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
        }
        // A frame the decoder could not use still stands for its samples, as silence.
        std::memset(destination + out + got, 0, want - got);
        out += want;
        at += f.FrameBytes;
    }
    *sourceUsed = at;
    *produced = out;
}
