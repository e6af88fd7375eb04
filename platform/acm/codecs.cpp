// Owns the converters: PCM pass-through, IEEE float to 16-bit, MS ADPCM,
// IMA ADPCM and the two G.711 laws. Each source block decodes on its own,
// so a stream's state between conversions is only where it stands in the
// source.
#include "platform/acm/codecs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kImaIndexShift[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
constexpr std::int16_t kMsStandardCoef[7][2] = {{256, 0},  {512, -256}, {0, 0},     {192, 64},
                                                {240, 0}, {460, -208}, {392, -232}};

WORD ReadU16(const std::uint8_t* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
std::int16_t ReadS16(const std::uint8_t* p) { return static_cast<std::int16_t>(ReadU16(p)); }

void WriteS16(std::uint8_t* p, int v)
{
    const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    p[0] = static_cast<std::uint8_t>(u);
    p[1] = static_cast<std::uint8_t>(u >> 8);
}

int Clamp16(int v) { return std::clamp(v, -32768, 32767); }

struct ImaChannel {
    int Predictor;
    int Index;

    int Next(int nibble)
    {
        const int step = kImaSteps[Index];
        int diff = step >> 3;
        if (nibble & 4) diff += step;
        if (nibble & 2) diff += step >> 1;
        if (nibble & 1) diff += step >> 2;
        Predictor = Clamp16(nibble & 8 ? Predictor - diff : Predictor + diff);
        Index = std::clamp(Index + kImaIndexShift[nibble & 7], 0, 88);
        return Predictor;
    }
};

void DecodeImaBlock(const ACMCODECINFO& info, const std::uint8_t* src, std::uint8_t* dst)
{
    const int ch = info.Channels;
    ImaChannel state[2];
    for (int c = 0; c < ch; ++c) {
        state[c].Predictor = ReadS16(src + 4 * c);
        state[c].Index = std::min<int>(src[4 * c + 2], 88);
        WriteS16(dst + 2 * c, state[c].Predictor);
    }
    // After the headers, 4 bytes (8 samples) of each channel in turn, low nibble first.
    const std::uint8_t* data = src + 4 * ch;
    const DWORD groups = (info.FramesPerBlock - 1) / 8;
    for (DWORD g = 0; g < groups; ++g) {
        for (int c = 0; c < ch; ++c) {
            const std::uint8_t* bytes = data + (g * ch + c) * 4;
            for (int k = 0; k < 8; ++k) {
                const int nibble = k & 1 ? bytes[k / 2] >> 4 : bytes[k / 2] & 0x0F;
                const DWORD frame = 1 + g * 8 + k;
                WriteS16(dst + (frame * ch + c) * 2, state[c].Next(nibble));
            }
        }
    }
}

void DecodeMsAdpcmBlock(const ACMCODECINFO& info, const std::uint8_t* src, std::uint8_t* dst)
{
    const int ch = info.Channels;
    int c1[2], c2[2], delta[2], s1[2], s2[2];
    for (int c = 0; c < ch; ++c) {
        int predictor = src[c];
        if (predictor >= info.CoefCount) predictor = 0;
        c1[c] = info.Coef[predictor][0];
        c2[c] = info.Coef[predictor][1];
        delta[c] = ReadS16(src + ch + 2 * c);
        s1[c] = ReadS16(src + 3 * ch + 2 * c);
        s2[c] = ReadS16(src + 5 * ch + 2 * c);
        WriteS16(dst + 2 * c, s2[c]);
        WriteS16(dst + (ch + c) * 2, s1[c]);
    }
    // Nibbles high first; in stereo they alternate left and right.
    const std::uint8_t* data = src + 7 * ch;
    const DWORD nibbles = (info.FramesPerBlock - 2) * ch;
    for (DWORD i = 0; i < nibbles; ++i) {
        const int c = static_cast<int>(i % ch);
        const int nibble = i & 1 ? data[i / 2] & 0x0F : data[i / 2] >> 4;
        const int signedNibble = nibble >= 8 ? nibble - 16 : nibble;
        const long long predicted =
            (static_cast<long long>(s1[c]) * c1[c] + static_cast<long long>(s2[c]) * c2[c]) >> 8;
        const int sample = static_cast<int>(
            std::clamp<long long>(predicted + static_cast<long long>(signedNibble) * delta[c], -32768, 32767));
        s2[c] = s1[c];
        s1[c] = sample;
        // Held below what the next step's product can carry; real streams stay far below.
        delta[c] = std::clamp((kMsAdaptation[nibble] * delta[c]) >> 8, 16, 0x1FFFFF);
        WriteS16(dst + (2 * ch + i) * 2, sample);
    }
}

bool DescribeMsAdpcm(const WAVEFORMATEX& f, const std::uint8_t* extra, ACMCODECINFO* info)
{
    const WORD ch = f.nChannels;
    if (f.wBitsPerSample != 4 || f.cbSize < 4 || f.nBlockAlign < 7 * ch) return false;
    const DWORD frames = (f.nBlockAlign - 7u * ch) * 2 / ch + 2;
    if (ReadU16(extra) != frames) return false;
    const WORD count = ReadU16(extra + 2);
    if (count < 7 || count > 256 || f.cbSize < 4 + 4 * count) return false;
    for (WORD i = 0; i < count; ++i) {
        info->Coef[i][0] = ReadS16(extra + 4 + 4 * i);
        info->Coef[i][1] = ReadS16(extra + 6 + 4 * i);
    }
    // The first seven pairs are fixed by the format.
    if (std::memcmp(info->Coef, kMsStandardCoef, sizeof kMsStandardCoef) != 0) return false;
    info->CoefCount = count;
    info->FramesPerBlock = frames;
    return true;
}

void DecodeFloatFrame(const ACMCODECINFO& info, const std::uint8_t* src, std::uint8_t* dst)
{
    const int bytes = static_cast<int>(info.SourceBlockBytes / info.Channels);
    for (WORD c = 0; c < info.Channels; ++c) {
        const std::uint8_t* p = src + c * bytes;
        std::uint64_t bits = 0;
        for (int i = bytes - 1; i >= 0; --i) bits = bits << 8 | p[i];
        double value;
        if (bytes == 4) {
            float single;
            const auto narrow = static_cast<std::uint32_t>(bits);
            std::memcpy(&single, &narrow, 4);
            value = single;
        } else {
            std::memcpy(&value, &bits, 8);
        }
        WriteS16(dst + 2 * c, ConvertFloatSample(value));
    }
}

bool DescribeImaAdpcm(const WAVEFORMATEX& f, const std::uint8_t* extra, ACMCODECINFO* info)
{
    const WORD ch = f.nChannels;
    if (f.wBitsPerSample != 4 || f.cbSize < 2 || f.nBlockAlign <= 4 * ch) return false;
    if ((f.nBlockAlign - 4u * ch) % (4u * ch) != 0) return false;
    const DWORD frames = (f.nBlockAlign - 4u * ch) * 2 / ch + 1;
    if (ReadU16(extra) != frames) return false;
    info->FramesPerBlock = frames;
    return true;
}

} // namespace

std::int16_t DecodeALaw(std::uint8_t value)
{
    const int a = value ^ 0x55;
    int t = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) {
        t += 8;
    } else {
        t = (t + 0x108) << (segment - 1);
    }
    return static_cast<std::int16_t>(a & 0x80 ? t : -t);
}

std::int16_t DecodeMuLaw(std::uint8_t value)
{
    const int u = ~value & 0xFF;
    const int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
    return static_cast<std::int16_t>(u & 0x80 ? 0x84 - t : t - 0x84);
}

std::int16_t ConvertFloatSample(double value)
{
    // Full scale maps as the mix reads 16-bit samples back: s / 32768.
    if (!(value == value)) return 0;
    return static_cast<std::int16_t>(std::lround(std::clamp(value * 32768.0, -32768.0, 32767.0)));
}

bool DescribeAcmSource(const WAVEFORMATEX* source, ACMCODECINFO* info)
{
    if (source == nullptr) return false;
    WAVEFORMATEX f;
    std::memcpy(&f, source, sizeof f);
    if (f.nChannels < 1 || f.nSamplesPerSec == 0 || f.nBlockAlign == 0) return false;
    const auto* extra = reinterpret_cast<const std::uint8_t*>(source) + sizeof(WAVEFORMATEX);
    if (f.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        f.wFormatTag = ReadExtensibleSubformat(extra, f.cbSize);
        if (f.wFormatTag != WAVE_FORMAT_PCM && f.wFormatTag != WAVE_FORMAT_IEEE_FLOAT) return false;
    }
    info->Channels = f.nChannels;
    info->Rate = f.nSamplesPerSec;
    info->SourceBlockBytes = f.nBlockAlign;
    info->CoefCount = 0;
    info->OutputBits = 16;
    switch (f.wFormatTag) {
    case WAVE_FORMAT_PCM:
        if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 && f.wBitsPerSample != 32)
            return false;
        if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return false;
        info->Codec = AcmCodec::Pcm;
        info->FramesPerBlock = 1;
        info->OutputBits = f.wBitsPerSample;
        break;
    case WAVE_FORMAT_IEEE_FLOAT:
        if (f.nChannels > 2 || (f.wBitsPerSample != 32 && f.wBitsPerSample != 64)) return false;
        if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return false;
        info->Codec = AcmCodec::Float;
        info->FramesPerBlock = 1;
        break;
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
        if (f.wBitsPerSample != 8 || f.nBlockAlign != f.nChannels) return false;
        info->Codec = f.wFormatTag == WAVE_FORMAT_ALAW ? AcmCodec::ALaw : AcmCodec::MuLaw;
        info->FramesPerBlock = 1;
        break;
    case WAVE_FORMAT_ADPCM:
        if (f.nChannels > 2 || !DescribeMsAdpcm(f, extra, info)) return false;
        info->Codec = AcmCodec::MsAdpcm;
        break;
    case WAVE_FORMAT_IMA_ADPCM:
        if (f.nChannels > 2 || !DescribeImaAdpcm(f, extra, info)) return false;
        info->Codec = AcmCodec::ImaAdpcm;
        break;
    case WAVE_FORMAT_MPEGLAYER3:
        // Frames carry their own sizes: the "block" is one byte.
        if (f.nChannels > 2 || f.cbSize < 12 || ReadU16(extra) != MPEGLAYER3_ID_MPEG) return false;
        if (f.nSamplesPerSec != 44100 && f.nSamplesPerSec != 48000 && f.nSamplesPerSec != 32000 &&
            f.nSamplesPerSec != 22050 && f.nSamplesPerSec != 24000 && f.nSamplesPerSec != 16000)
            return false;
        info->Codec = AcmCodec::MpegAudio;
        info->SourceBlockBytes = 1;
        info->FramesPerBlock = 1;
        break;
    default:
        return false;
    }
    info->OutputFrameBytes = static_cast<DWORD>(info->Channels) * info->OutputBits / 8;
    return true;
}

void DecodeAcmBlock(const ACMCODECINFO& info, const std::uint8_t* src, std::uint8_t* dst)
{
    switch (info.Codec) {
    case AcmCodec::Pcm:
        std::memcpy(dst, src, info.SourceBlockBytes);
        break;
    case AcmCodec::Float:
        DecodeFloatFrame(info, src, dst);
        break;
    case AcmCodec::ALaw:
        for (WORD c = 0; c < info.Channels; ++c) WriteS16(dst + 2 * c, DecodeALaw(src[c]));
        break;
    case AcmCodec::MuLaw:
        for (WORD c = 0; c < info.Channels; ++c) WriteS16(dst + 2 * c, DecodeMuLaw(src[c]));
        break;
    case AcmCodec::MsAdpcm:
        DecodeMsAdpcmBlock(info, src, dst);
        break;
    case AcmCodec::ImaAdpcm:
        DecodeImaBlock(info, src, dst);
        break;
    case AcmCodec::MpegAudio:
        break;
    }
}
