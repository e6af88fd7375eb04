// The MIDI music state: the music handle table, the MCI sequencer's play
// and replay flags, the temporary MIDI file and the current background
// music, with the operations that keep and end that state. Nothing here
// creates music; a creator must keep the state as these operations expect.
#pragma once

#include "core/handle.h"
#include "platform/winmm/mci.h"

#include <cstdint>

struct MUSICREC {
    std::uint32_t Check;
    int PlayFlag;         // DirectMusic mode; MCI mode uses the global flag
    int PlayStartedFlag;
    std::uint8_t* MusicData;
    std::uint32_t MusicDataSize;
};

using MUSICTABLE = HANDLETABLE<MUSICREC, HANDLECAP_MUSIC, HANDLETAG_MUSIC>;

struct MUSICSTATE {
    MUSICTABLE Table;
    MCIDEVICEID MciDevice;
    int ReplayFlag;      // 1: play again from the start when MCI reports the end
    int MciPlayingFlag;  // one flag for every handle
    char TempPath[260];
    int TempFileFlag;    // 1: the temporary MIDI file exists and goes with the music
    int BackgroundMusic; // a handle, or 0
    int BackgroundIsSound;
};
extern MUSICSTATE MusicState;

// Answers the MCI playing flag; -1 for a bad handle or no sound system.
int GetMidiHandlePlaying(int handle);
int PollMidiPlayStates();
// The window procedure's MM_MCINOTIFY, whatever the notice says.
int HandleMidiMciNotify();
int StopMusicHandle(int handle);
int DeleteMusicHandle(int handle);
int DeleteAllMusicHandles();
int EndBackgroundMusic();
