// Owns the MIDI music state and its operations. Calls the MCI stand-in, the
// message loop (a stop lets the pending notice arrive), the whole-sound
// operations (background music that is a sound) and the allocator.
#include "sound/music.h"

#include "core/inactivewait.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"
#include "sound/sound.h"
#include "sound/soundrec.h"

#include <cstring>

MUSICSTATE MusicState{};

namespace {

MUSICREC* LookupMusicRecord(int handle)
{
    if (SoundState.DirectSound == nullptr) return nullptr;
    return GetHandleRecord(MusicState.Table, handle);
}

} // namespace

int GetMidiHandlePlaying(int handle)
{
    if (LookupMusicRecord(handle) == nullptr) return -1;
    // Only the MCI mode is built: its flag is global.
    return MusicState.MciPlayingFlag;
}

int PollMidiPlayStates()
{
    if (SoundState.DirectSound == nullptr) return -1;
    // Only DirectMusic segments are polled; MCI reports its end by notice.
    return 0;
}

int HandleMidiMciNotify()
{
    MUSICSTATE& m = MusicState;
    if (m.ReplayFlag == 1) {
        MCI_PLAY_PARMS play{reinterpret_cast<std::uintptr_t>(GetMainWindowHandle()), 0, 0};
        mciSendCommandA(m.MciDevice, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<std::uintptr_t>(&play));
        m.MciPlayingFlag = 1;
    } else if (m.MciPlayingFlag == 1) {
        mciSendCommandA(m.MciDevice, MCI_CLOSE, 0, 0);
        m.MciPlayingFlag = 0;
    }
    return 0;
}

int StopMusicHandle(int handle)
{
    MUSICREC* rec = LookupMusicRecord(handle);
    if (rec == nullptr) return -1;
    MusicState.ReplayFlag = 0;
    HandleMidiMciNotify();
    for (int i = 0; i < 5; ++i) PumpMessageLoop();
    if (MusicState.TempFileFlag == 1) {
        DeleteFileA(MusicState.TempPath);
        MusicState.TempFileFlag = 0;
    }
    rec->PlayFlag = 0;
    rec->PlayStartedFlag = 0;
    return 0;
}

int DeleteMusicHandle(int handle)
{
    MUSICREC* rec = LookupMusicRecord(handle);
    if (rec == nullptr) return -1;
    if (GetMidiHandlePlaying(handle) == 1) StopMusicHandle(handle);
    if (rec->MusicData != nullptr) {
        std::memset(rec->MusicData, 0, rec->MusicDataSize);
        FreeMemory(rec->MusicData);
        rec->MusicData = nullptr;
    }
    ReleaseHandleRecord(MusicState.Table, handle);
    return 0;
}

int DeleteAllMusicHandles()
{
    if (SoundState.DirectSound == nullptr) return -1;
    MUSICTABLE& t = MusicState.Table;
    for (std::uint32_t slot = 0; slot < MUSICTABLE::Capacity; ++slot) {
        if (MUSICREC* rec = t.Records[slot]) DeleteMusicHandle(MakeHandleValue(rec->Check, HANDLETAG_MUSIC, slot));
    }
    return 0;
}

int EndBackgroundMusic()
{
    MUSICSTATE& m = MusicState;
    if (m.BackgroundMusic == 0) return 0;
    if (m.BackgroundIsSound == 1) {
        StopSoundToHandle(m.BackgroundMusic);
        DiscardSoundHandle(m.BackgroundMusic);
    } else {
        StopMusicHandle(m.BackgroundMusic);
        DeleteMusicHandle(m.BackgroundMusic);
    }
    m.BackgroundMusic = 0;
    return 0;
}
