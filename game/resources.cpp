// Owns GameImages, GameSounds and LoopSound; loads them through the public
// graph and sound entries (core/api) and sets the volumes.
#include "game/resources.h"

#include "core/api.h"

#include <string>

GAMEIMAGES GameImages;
int GameSounds[kSoundSlots];
int LoopSound = 0;

namespace {

int LoadPicture(const char* stem)
{
    return LoadGraphFile((std::string("date/graph/") + stem + ".png").c_str(), 0);
}

int LoadSound(const char* stem)
{
    return LoadSoundFile((std::string("date/sound/") + stem + ".wav").c_str(), 3, -1);
}

} // namespace

void LoadGameResources()
{
    GAMEIMAGES& g = GameImages;
    struct Picture {
        int* handle;
        const char* stem;
    };
    const Picture pictures[] = {
        {&g.my, "my"},           {&g.title, "title"},     {&g.chip, "chip"},        {&g.gameover, "gameover"},
        {&g.haikei, "haikei"},   {&g.circle, "circle"},   {&g.dai20, "dai20"},      {&g.hou20, "hou20"},
        {&g.dai40, "dai40"},     {&g.hou40, "hou40"},     {&g.hou30w, "hou30w"},    {&g.brock, "brock"},
        {&g.brock2, "brock2"},   {&g.hou40w, "hou40w"},   {&g.jirai, "jirai"},      {&g.misaile, "misaile"},
        {&g.marking, "marking"}, {&g.misadai, "misadai"}, {&g.brock_hibi, "brock_hibi"}, {&g.reza, "reza"},
        {&g.kotei, "kotei"},     {&g.hosi1, "hosi1"},     {&g.hosi2, "hosi2"},      {&g.hosi3, "hosi3"},
        {&g.waku, "waku"},       {&g.baria, "baria"},     {&g.flash, "flash"},      {&g.clear, "clear"},
        {&g.record, "record"},   {&g.minibrock, "minibrock"}, {&g.etama, "etama"},
    };
    for (const Picture& p : pictures) *p.handle = LoadPicture(p.stem);

    struct Sound {
        int slot;  // -1: the music's own handle
        const char* stem;
    };
    const Sound sounds[] = {
        {kSndDmage, "dmage"},   {kSndShot, "shot"},         {kSndHakai, "hakai"},   {kSndPipipi, "pipipi"},
        {kSndChangemode, "changemode"}, {kSndRef, "ref"},   {kSndSelect, "select"}, {kSndRockon, "rockon"},
        {kSndMisail, "misail"}, {kSndLaser, "laser"},       {kSndBaramaki, "baramaki"}, {kSndSelect2, "select2"},
        {kSndKaijyo, "kaijyo"}, {kSndBatu, "batu"},         {-1, "loop"},           {kSndCanon, "canon"},
        {kSndShot2, "shot2"},
    };
    for (const Sound& s : sounds) (s.slot < 0 ? LoopSound : GameSounds[s.slot]) = LoadSound(s.stem);

    // The later calls win: the music and the frequent shots sound quieter.
    for (int slot = 0; slot < kSoundSlots; ++slot) SetSoundVolume(25, GameSounds[slot]);
    SetSoundVolume(1, LoopSound);
    SetSoundVolume(5, GameSounds[kSndShot]);
    SetSoundVolume(3, GameSounds[kSndShot2]);
    SetSoundVolume(3, GameSounds[kSndHakai]);
}

void PlayGameSound(int slot)
{
    StartSound(GameSounds[slot], PLAY_BACKGROUND, 1);
}
