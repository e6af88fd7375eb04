// The DirectSound stand-in through the null device on its manual clock:
// what the mixer sums, how cursors, loops and ends behave, Lock's two
// pieces, the refusals, faults and the device list; the kernel clock over a
// long idle, and what reaches an SDL device (its disk driver).
#include "platform/com/com.h"
#include "platform/dsound/dsound.h"
#include "platform/dsound/mixer.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <cstring>
#include <string>
#include <vector>

namespace {

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSoundFaults();
        SetSoundDeviceCaps(nullptr);
        SelectSoundOutput(SoundOutputChoice::NullOnly);
        SelectNullSoundClock(NullSoundClock::Manual);
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&ds)),
                  S_OK);
        ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
        ASSERT_EQ(IsNullSoundDeviceOpen(), 1);
        period = GetSoundMixerPeriodFrames();
    }

    void TearDown() override
    {
        for (IDirectSoundBuffer* b : buffers) b->Release();
        ds->Release();
        CoUninitialize();
        SelectSoundOutput(SoundOutputChoice::SdlThenNull);
        SelectNullSoundClock(NullSoundClock::Kernel);
        ClearSoundFaults();
        EXPECT_EQ(GetLiveSoundBufferCount(), 0);
    }

    IDirectSoundBuffer* Make(WAVEFORMATEX format, DWORD bytes, DWORD flags = 0x80E2)
    {
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = flags;
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = &format;
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (b != nullptr) buffers.push_back(b);
        return b;
    }

    static void Fill(IDirectSoundBuffer* b, const void* data, DWORD bytes)
    {
        void* p1;
        void* p2;
        DWORD s1, s2;
        ASSERT_EQ(b->Lock(0, bytes, &p1, &s1, &p2, &s2, 0), DS_OK);
        std::memcpy(p1, data, s1);
        ASSERT_EQ(b->Unlock(p1, s1, p2, s2), DS_OK);
    }

    IDirectSound* ds = nullptr;
    std::vector<IDirectSoundBuffer*> buffers;
    DWORD period = 0;
};

std::vector<std::int16_t> Ramp(std::size_t samples)
{
    std::vector<std::int16_t> v(samples);
    for (std::size_t i = 0; i < samples; ++i) v[i] = static_cast<std::int16_t>((i * 97) % 20000 - 10000);
    return v;
}

TEST_F(DirectSoundTest, DuplicatesShareDataAndTheMixIsTheirSumAtTheirVolumes)
{
    const DWORD frames = period * 3 + 100;
    auto pcm = Ramp(frames);  // mono 16-bit
    IDirectSoundBuffer* first = Make(Pcm(1, GetSoundOutputRate(), 16), frames * 2);
    Fill(first, pcm.data(), frames * 2);
    IDirectSoundBuffer* dup[2];
    for (auto& d : dup) {
        ASSERT_EQ(ds->DuplicateSoundBuffer(first, &d), DS_OK);
        buffers.push_back(d);
    }
    const LONG volumes[3] = {-1707, 0, -2406};
    IDirectSoundBuffer* all[3] = {first, dup[0], dup[1]};
    StartNullSoundCapture();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(all[i]->SetVolume(volumes[i]), DS_OK);
        ASSERT_EQ(all[i]->Play(0, 0, 0), DS_OK);
        AdvanceNullSoundDevice(period);
    }
    AdvanceNullSoundDevice(period * 4);
    std::vector<float> out = TakeNullSoundCapture();
    ASSERT_EQ(out.size(), static_cast<std::size_t>(period) * 7 * 2);
    for (std::size_t t = 0; t < out.size() / 2; ++t) {
        double expected = 0;
        for (int i = 0; i < 3; ++i) {
            const std::size_t start = static_cast<std::size_t>(i) * period;
            if (t >= start && t - start < frames)
                expected += pcm[t - start] / 32768.0 * std::pow(10.0, volumes[i] / 2000.0);
        }
        ASSERT_NEAR(out[2 * t], expected, 1e-5) << "frame " << t;
        ASSERT_EQ(out[2 * t], out[2 * t + 1]);
    }
    DWORD status = 9;
    ASSERT_EQ(first->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
}

TEST_F(DirectSoundTest, LoopsWrapWithoutAGapAndOneShotsStopAndRewind)
{
    const DWORD frames = 300;  // not a whole number of periods
    auto pcm = Ramp(frames * 2);  // stereo 16-bit
    IDirectSoundBuffer* loop = Make(Pcm(2, GetSoundOutputRate(), 16), frames * 4);
    Fill(loop, pcm.data(), frames * 4);
    StartNullSoundCapture();
    ASSERT_EQ(loop->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    AdvanceNullSoundDevice(period * 3);
    std::vector<float> out = TakeNullSoundCapture();
    for (std::size_t t = 0; t < out.size() / 2; ++t) {
        ASSERT_FLOAT_EQ(out[2 * t], pcm[(t % frames) * 2] / 32768.0f) << t;
        ASSERT_FLOAT_EQ(out[2 * t + 1], pcm[(t % frames) * 2 + 1] / 32768.0f) << t;
    }
    DWORD status = 0, play = 0, write = 0;
    loop->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    loop->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, (period * 3 % frames) * 4);

    // Stopping keeps the cursor; a one-shot play runs to the end, then rewinds.
    ASSERT_EQ(loop->Stop(), DS_OK);
    AdvanceNullSoundDevice(period);
    DWORD kept = 0;
    loop->GetCurrentPosition(&kept, nullptr);
    EXPECT_EQ(kept, play);
    ASSERT_EQ(loop->Play(0, 0, 0), DS_OK);
    AdvanceNullSoundDevice(period);
    loop->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    loop->GetCurrentPosition(&kept, nullptr);
    EXPECT_EQ(kept, 0u);
}

TEST_F(DirectSoundTest, CursorsFollowTheBuffersOwnRateInMixerPeriods)
{
    const DWORD rate = GetSoundOutputRate();
    struct Case {
        DWORD rate;
        DWORD frequency;
        DWORD framesPerPeriod;
    } cases[] = {{rate, 0, period}, {rate / 2, 0, period / 2}, {rate, rate * 2, period * 2}};
    for (const Case& c : cases) {
        IDirectSoundBuffer* b = Make(Pcm(1, c.rate, 8), c.rate);
        if (c.frequency != 0) {
            ASSERT_EQ(b->SetFrequency(c.frequency), DS_OK);
        }
        ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        DWORD play = 1;
        AdvanceNullSoundDevice(period - 1);  // not yet a whole period
        b->GetCurrentPosition(&play, nullptr);
        EXPECT_EQ(play, 0u);
        AdvanceNullSoundDevice(1);
        b->GetCurrentPosition(&play, nullptr);
        EXPECT_EQ(play, c.framesPerPeriod) << c.rate << " " << c.frequency;
        b->Stop();
    }
}

TEST_F(DirectSoundTest, PanLowersOnlyTheFarSide)
{
    std::vector<std::uint8_t> full(period, 255);  // 8-bit mono, near full scale
    IDirectSoundBuffer* b = Make(Pcm(1, GetSoundOutputRate(), 8), period);
    Fill(b, full.data(), period);
    ASSERT_EQ(b->SetPan(2000), DS_OK);
    LONG pan = 0;
    ASSERT_EQ(b->GetPan(&pan), DS_OK);
    EXPECT_EQ(pan, 2000);
    StartNullSoundCapture();
    b->Play(0, 0, 0);
    AdvanceNullSoundDevice(period);
    std::vector<float> out = TakeNullSoundCapture();
    EXPECT_NEAR(out[1], 127.0 / 128.0, 1e-6);
    EXPECT_NEAR(out[0], 127.0 / 128.0 * 0.1, 1e-6);
}

TEST_F(DirectSoundTest, LockSplitsAtTheEndAndPositionsAreChecked)
{
    IDirectSoundBuffer* b = Make(Pcm(2, 22050, 16), 4000);
    void* p1;
    void* p2;
    DWORD s1, s2;
    ASSERT_EQ(b->Lock(3600, 1000, &p1, &s1, &p2, &s2, 0), DS_OK);
    EXPECT_EQ(s1, 400u);
    EXPECT_EQ(s2, 600u);
    EXPECT_EQ(static_cast<std::uint8_t*>(p1) - static_cast<std::uint8_t*>(p2), 3600);
    ASSERT_EQ(b->Unlock(p1, s1, p2, s2), DS_OK);
    ASSERT_EQ(b->Lock(0, 4000, &p1, &s1, &p2, &s2, 0), DS_OK);
    EXPECT_EQ(s1, 4000u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(b->Lock(4000, 4, &p1, &s1, &p2, &s2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 4001, &p1, &s1, &p2, &s2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 0, &p1, &s1, &p2, &s2, 0), DSERR_INVALIDPARAM);

    DWORD play;
    ASSERT_EQ(b->SetCurrentPosition(1003), DS_OK);  // rounds down to a frame
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 1000u);
    EXPECT_EQ(b->SetCurrentPosition(4000), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, RefusesWhatItCannotPlay)
{
    struct Case {
        WAVEFORMATEX format;
        DWORD bytes;
        DWORD flags;
    } cases[] = {
        {Pcm(3, 44100, 16), 600, 0},
        {Pcm(1, 44100, 12), 600, 0},
        {Pcm(1, 99, 16), 600, 0},
        {Pcm(2, 44100, 16), 2, 0},           // below the minimum size
        {Pcm(2, 44100, 16), 0x10000000, 0},  // above the maximum
        {Pcm(1, 44100, 16), 600, DSBCAPS_PRIMARYBUFFER},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX f = c.format;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), c.flags, c.bytes, 0, &f, {}};
        IDirectSoundBuffer* b = reinterpret_cast<IDirectSoundBuffer*>(1);
        EXPECT_TRUE(FAILED(ds->CreateSoundBuffer(&desc, &b, nullptr))) << f.nChannels << " " << f.wBitsPerSample;
        EXPECT_EQ(b, nullptr);
    }
    WAVEFORMATEX adpcm = Pcm(1, 44100, 16);
    adpcm.wFormatTag = WAVE_FORMAT_ADPCM;
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, 600, 0, &adpcm, {}};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_BADFORMAT);

    // A buffer without volume control refuses a volume.
    IDirectSoundBuffer* plain = Make(Pcm(2, 44100, 16), 400, DSBCAPS_STATIC | DSBCAPS_GLOBALFOCUS);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);

    IDirectSound* fresh = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&fresh)), S_OK);
    WAVEFORMATEX f = Pcm(2, 44100, 16);
    DSBUFFERDESC ok{sizeof(DSBUFFERDESC), 0, 400, 0, &f, {}};
    EXPECT_EQ(fresh->CreateSoundBuffer(&ok, &b, nullptr), DSERR_UNINITIALIZED);
    fresh->Release();
}

TEST_F(DirectSoundTest, FaultsFailTheChosenCallsOnly)
{
    IDirectSoundBuffer* first = Make(Pcm(2, 44100, 16), 400);
    SetSoundFault(SoundFault::Duplicate, 1);
    IDirectSoundBuffer* d = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(first, &d), DS_OK);
    buffers.push_back(d);
    EXPECT_TRUE(FAILED(ds->DuplicateSoundBuffer(first, &d)));
    EXPECT_EQ(d, nullptr);
    SetSoundFault(SoundFault::Lock, 0);
    void* p1;
    DWORD s1;
    EXPECT_TRUE(FAILED(first->Lock(0, 4, &p1, &s1, nullptr, nullptr, 0)));
    EXPECT_EQ(GetLiveSoundBufferCount(), 2);
}

BOOL CollectDevice(GUID*, LPCSTR description, LPCSTR module, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(std::string(module) + "|" + description);
    return TRUE;
}

TEST_F(DirectSoundTest, TheDeviceListNamesTheNullOutputAndIsReachedByName)
{
    HMODULE dll = LoadLibraryA("dsound.dll");
    ASSERT_NE(dll, nullptr);
    auto enumerate = reinterpret_cast<decltype(&DirectSoundEnumerateA)>(GetProcAddress(dll, "DirectSoundEnumerateA"));
    ASSERT_NE(enumerate, nullptr);
    EXPECT_EQ(GetProcAddress(dll, "DirectSoundCreate8"), nullptr);
    std::vector<std::string> devices;
    ASSERT_EQ(enumerate(CollectDevice, &devices), DS_OK);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0], "|Primary Sound Driver");
    EXPECT_EQ(devices[1].substr(0, 5), "null|");
    EXPECT_TRUE(FreeLibrary(dll));

    HideModule("DSOUND.DLL", true);
    EXPECT_EQ(LoadLibraryA("DSOUND.DLL"), nullptr);
    HideModule("DSOUND.DLL", false);

    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(ds->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, DSBFREQUENCY_MAX);
    EXPECT_NE(caps.dwFlags & DSCAPS_PRIMARYSTEREO, 0u);
}

TEST(DirectSoundOutput, TheNullDeviceFollowsTheKernelClockWhenNoDeviceOpens)
{
    SelectSoundOutput(SoundOutputChoice::NullOnly);
    SelectNullSoundClock(NullSoundClock::Kernel);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IDirectSound* ds = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&ds)), S_OK);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    WAVEFORMATEX f = Pcm(2, 44100, 16);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0x80E2, 4 * 4410, 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
    b->Play(0, 0, 0);
    DWORD status = DSBSTATUS_PLAYING;
    for (int i = 0; i < 2000 && (status & DSBSTATUS_PLAYING); ++i) {
        Sleep(1);
        b->GetStatus(&status);
    }
    EXPECT_EQ(status, 0u);  // a tenth of a second ends by itself
    b->Release();
    ds->Release();
    CoUninitialize();
    SelectSoundOutput(SoundOutputChoice::SdlThenNull);
}

TEST(DirectSoundOutput, CursorsStayTrueToTheKernelClockOverALongIdle)
{
    UseManualClock(1000, 0);
    SelectSoundOutput(SoundOutputChoice::NullOnly);
    SelectNullSoundClock(NullSoundClock::Kernel);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IDirectSound* ds = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&ds)), S_OK);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
    const DWORD out = GetSoundOutputRate();
    const DWORD period = GetSoundMixerPeriodFrames();
    // 30 s sounds (8-bit mono), left without a buffer call for the idle time.
    const struct {
        DWORD rate;
        DWORD flags;
        DWORD idleSeconds;
        DWORD status;
        ULONGLONG seconds;  // where the cursor should stand
    } cases[] = {
        {out, 0, 20, DSBSTATUS_PLAYING, 20},
        {out / 2, 0, 20, DSBSTATUS_PLAYING, 20},
        {out, DSBPLAY_LOOPING, 50, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING, 20},
        {out / 2, DSBPLAY_LOOPING, 3600 * 5 + 5, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING, 5},
        {out, 0, 40, 0, 0},
    };
    for (const auto& c : cases) {
        WAVEFORMATEX f = Pcm(1, c.rate, 8);
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0x80E2, 30 * c.rate, 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        // Starts on a period boundary, so the due time is counted in whole periods.
        const ULONGLONG startFrames = (ReadClockMicroseconds() - 1000000) * out / 1000000 / period * period;
        ASSERT_EQ(b->Play(0, 0, c.flags), DS_OK);
        AdvanceManualClock(c.idleSeconds * 1000000ull);
        DWORD status = 9, play = 1;
        ASSERT_EQ(b->GetStatus(&status), DS_OK);
        ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
        EXPECT_EQ(status, c.status) << c.rate << " after " << c.idleSeconds << " s";
        if (c.status != 0) {
            const ULONGLONG due = (ReadClockMicroseconds() - 1000000) * out / 1000000 / period * period - startFrames;
            const ULONGLONG expected = due * c.rate / out % (30ull * c.rate);
            EXPECT_EQ(play, expected) << c.rate << " after " << c.idleSeconds << " s";
            EXPECT_NEAR(static_cast<double>(play), static_cast<double>(c.seconds * c.rate), period) << c.rate;
        } else {
            EXPECT_EQ(play, 0u);
        }
        b->Release();
    }
    ds->Release();
    CoUninitialize();
    SelectSoundOutput(SoundOutputChoice::SdlThenNull);
    UseRealClock();
    SelectNullSoundClock(NullSoundClock::Kernel);
}

} // namespace

namespace {

TEST(DirectSoundOutput, SdlAudioIsTriedFirstAndTheNullDeviceTakesOverWhenItFails)
{
    const struct {
        const char* driver;
        int null;
        const char* module;
    } cases[] = {{"dummy", 0, "dummy|"}, {"no-such-driver", 1, "null|"}};
    for (const auto& c : cases) {
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        SelectSoundOutput(SoundOutputChoice::SdlThenNull);
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        IDirectSound* ds = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&ds)),
                  S_OK);
        ASSERT_EQ(ds->Initialize(nullptr), DS_OK) << c.driver;
        EXPECT_EQ(IsNullSoundDeviceOpen(), c.null) << c.driver;
        std::vector<std::string> devices;
        DirectSoundEnumerateA(CollectDevice, &devices);
        ASSERT_GE(devices.size(), 2u);
        EXPECT_EQ(devices[1].substr(0, std::strlen(c.module)), c.module);
        ds->Release();
        CoUninitialize();
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST(DirectSoundOutput, MixedValuesBecomeDeviceSamplesRoundedAndClamped)
{
    const struct {
        float value;
        int sample;
    } cases[] = {{1.5f, 32767},          {1.0f, 32767},           {-1.0f, -32768},         {-3.0f, -32768},
                 {100.6f / 32768, 101},  {-100.6f / 32768, -101}, {100.4f / 32768, 100},   {0.0f, 0}};
    for (const auto& c : cases) EXPECT_EQ(MixToSample16(c.value), c.sample) << c.value;
}

TEST(DirectSoundOutput, AFullVolumeBufferWithoutPanReachesTheSdlDeviceUnchanged)
{
    // SDL's disk driver writes what the device is given to a file.
    const std::string path = "device-out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    SelectSoundOutput(SoundOutputChoice::SdlThenNull);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IDirectSound* ds = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&ds)), S_OK);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
    ASSERT_EQ(IsNullSoundDeviceOpen(), 0);

    // Stereo 16-bit at the device's rate: the extremes, values near zero, a ramp.
    std::vector<std::int16_t> pcm = {32767, -32768, 1, -1, 32766, -32767, 2, -2};
    for (std::int16_t v : Ramp(4000)) pcm.push_back(v);
    const DWORD bytes = static_cast<DWORD>(pcm.size() * 2);
    WAVEFORMATEX f = Pcm(2, GetSoundOutputRate(), 16);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0x80E2, bytes, 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
    void* p1;
    void* p2;
    DWORD s1, s2;
    ASSERT_EQ(b->Lock(0, bytes, &p1, &s1, &p2, &s2, 0), DS_OK);
    std::memcpy(p1, pcm.data(), bytes);
    ASSERT_EQ(b->Unlock(p1, s1, p2, s2), DS_OK);
    ASSERT_EQ(b->SetVolume(DSBVOLUME_MAX), DS_OK);
    ASSERT_EQ(b->SetPan(0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    DWORD status = DSBSTATUS_PLAYING;
    for (int i = 0; i < 5000 && (status & DSBSTATUS_PLAYING); ++i) {
        Sleep(1);
        b->GetStatus(&status);
    }
    EXPECT_EQ(status, 0u);
    b->Release();
    ds->Release();  // closes the device, which flushes the file
    CoUninitialize();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILE");

    std::ifstream in(path, std::ios::binary);
    std::vector<std::int16_t> out;
    for (std::int16_t v; in.read(reinterpret_cast<char*>(&v), 2);) out.push_back(v);
    // Silence until the buffer starts; then every sample as it was.
    const auto start = std::find_if(out.begin(), out.end(), [](std::int16_t v) { return v != 0; });
    ASSERT_GE(out.end() - start, static_cast<std::ptrdiff_t>(pcm.size()));
    EXPECT_EQ((start - out.begin()) % 2, 0);
    EXPECT_EQ(std::vector<std::int16_t>(start, start + static_cast<std::ptrdiff_t>(pcm.size())), pcm);
}

} // namespace
