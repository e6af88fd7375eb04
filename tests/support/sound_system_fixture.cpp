// Owns the sound tests' fixture.
#include "support/sound_system_fixture.h"

#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/sysstate.h"
#include "platform/com/com.h"
#include "platform/dsound/dsound.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/debug.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/soundsystem.h"

void SoundTest::SetUp()
{
    SetDebugOutputSink([](const char*) {});
    ClearSoundFaults();
    SelectSoundOutput(SoundOutputChoice::NullOnly);
    SelectNullSoundClock(NullSoundClock::Manual);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    SelectFileFunctionTable(nullptr);
    GetFileFunctionTable()->GetDir(SysState.StartDirectory);
    CreateLogFile();
    ASSERT_EQ(StartupSoundSystem(), 0);
    period = GetSoundMixerPeriodFrames();
    rate = static_cast<int>(GetSoundOutputRate());
}

void SoundTest::TearDown()
{
    ShutdownSoundSystem();
    EXPECT_EQ(GetLiveSoundBufferCount(), 0);
    EXPECT_EQ(SoundState.Table.Count, 0u);
    CoUninitialize();
    ClearSoundFaults();
    SelectSoundOutput(SoundOutputChoice::SdlThenNull);
    SelectNullSoundClock(NullSoundClock::Kernel);
    UseRealClock();
    SysState.QuitFlag = 0;
    SetDebugOutputSink(nullptr);
}

int SoundTest::Load(const Bytes& wav, int buffers)
{
    return CreateSoundFromMemory(wav.data(), static_cast<int>(wav.size()), buffers, -1);
}

Bytes SoundTest::RingBytes(int handle)
{
    SOUNDREC* rec = LookupSoundRecord(handle);
    void* p1 = nullptr;
    void* p2 = nullptr;
    std::uint32_t s1 = 0, s2 = 0;
    if (rec == nullptr || LockPlayBuffer(&rec->Buffer[0], 0, rec->RingSize, &p1, &s1, &p2, &s2) == -1) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(p1);
    Bytes copy(bytes, bytes + s1);
    UnlockPlayBuffer(&rec->Buffer[0], p1, s1, p2, s2);
    return copy;
}

std::vector<std::int16_t> SoundTest::Ring16(int handle)
{
    const Bytes bytes = RingBytes(handle);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}
