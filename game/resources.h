// The game's pictures and sounds: one handle each, loaded once at start-up
// and kept for the whole run (the library frees them at its end).
#pragma once

struct GAMEIMAGES {
    int my, title, chip, gameover, haikei, circle, dai20, hou20, dai40, hou40, hou30w, brock, brock2, hou40w, jirai,
        misaile, marking, misadai, brock_hibi, reza, kotei, hosi1, hosi2, hosi3, waku, baria, flash, clear, record,
        minibrock, etama;
    int unused;  // never loaded; stays 0
};

// Slots of GameSounds; 0, 7, 18 and 19 are never loaded.
enum SoundSlot {
    kSndDmage = 1,
    kSndShot = 2,
    kSndHakai = 3,
    kSndPipipi = 4,
    kSndChangemode = 5,
    kSndRef = 6,
    kSndSelect = 8,
    kSndRockon = 9,
    kSndMisail = 10,
    kSndLaser = 11,
    kSndBaramaki = 12,
    kSndSelect2 = 13,
    kSndKaijyo = 14,
    kSndBatu = 15,
    kSndCanon = 16,
    kSndShot2 = 17,
};
constexpr int kSoundSlots = 20;

extern GAMEIMAGES GameImages;
extern int GameSounds[kSoundSlots];
extern int LoopSound;  // the background music, outside the 20 slots

void LoadGameResources();
// Plays a sound once, from its start, without waiting.
void PlayGameSound(int slot);
