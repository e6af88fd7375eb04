// Enemy shots, sight probes and the short-lived effects (debris, rings,
// lock-on markers): their spawners and motion.
#pragma once

#include "game/objects.h"

constexpr double kDegToRadFactor = 3.1415926535 / 180;

void FireSightProbe(const GAMEOBJ& source);
void FireAimedShot(const GAMEOBJ& source, float speed, float spreadDeg, int offX, int offY, int shotType,
                   float decay);
void FireShotFan(const GAMEOBJ& source, int baseDeg, int count, int stepDeg, float speed, int offX, int offY,
                 float spreadDeg, int shotType, float decay, int countdown);
void ApplyShotType(GAMEOBJ& slot, int shotType, int ownerId);
void MoveShots();
void MoveDebris();
void SpawnDebris(int x, int y, int count, int type);
void SpawnRing(int x, int y, int life, int step);
void SpawnLockOnMarker(const GAMEOBJ& source);

// The runtime generator the spawners draw from (state 1, never reseeded);
// its values are scaled by a spread of 0, so only the count of draws shows.
int DrawShotRand();
unsigned ShotRandState();
void ResetShotRand();
