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
