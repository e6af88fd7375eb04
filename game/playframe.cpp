// Owns the order of the play steps and the stage timing; stores and saves
// best times through game/datafiles and sets ProgramMode (game/winmain).
#include "game/playframe.h"

#include "core/api.h"
#include "game/collisions.h"
#include "game/datafiles.h"
#include "game/enemies.h"
#include "game/objects.h"
#include "game/player.h"
#include "game/playdraw.h"
#include "game/resources.h"
#include "game/shots.h"
#include "game/winmain.h"

void RunPlayFrame()
{
    if (IsMusicOn() && BgmPlaying == 0) {
        StartSound(LoopSound, PLAY_LOOP, 1);
        BgmPlaying = 1;
    }
    MovePlayer();
    UpdateEnemies();
    MoveShots();
    UpdateModeAndSelfDestruct();
    ResolveCollisions();
    UpdateStageTiming();
    DrawPlayScreen();
}

void UpdateStageTiming()
{
    int alive = 0;
    for (const GAMEOBJ& e : Enemies)
        if (e.Life > 0) ++alive;
    if (alive > 0) {
        PlayFrames += 1;
        if (PlayFrames % 100 == 0) StageSeconds += 1;
    } else {
        DrawGraphAt(120, 150, GameImages.clear, 0);
        int& best = BestTimes[CurrentStage - 1];
        // A clear under one counted second still stores 1: 0 means never cleared.
        const int time = StageSeconds > 0 ? StageSeconds : 1;
        const bool record = best == 0 || best > time;
        if (record) DrawGraphAt(150, 240, GameImages.record, 0);
        ClearFrames += 1;
        if (ClearFrames > 300) {
            ClearFrames = 0;
            if (record) {
                best = time;
                SaveBestTimes();
            }
            ProgramMode = kModeSelect;
        }
    }
    if (PlayerLife < 0) {
        GameOverFrames += 1;
        if (GameOverFrames > 200) ProgramMode = kModeSelect;
    }
}
