// Owns the play tables, the stage grids and the play values; zero at
// program start, reset in part by the stage start (game/stage).
#include "game/objects.h"

GAMEOBJ Player;
GAMEOBJ Enemies[kEnemyCount];
GAMEOBJ Shots[kShotCount];
GAMEOBJ Effects[kEffectCount];
GAMEOBJ SpawnCircles[kSpawnCircleCount];
FLOATTEXT FloatingTexts[kFloatingTextCount];

int Tiles[kGridSize * kGridSize];
int StageCells[kGridSize * kGridSize];

int PlayerLife = 0;
int PlayerSpeed = 0;
std::uint8_t BarrierMode = 0;
int BarrierCharges = 0;
int ModeSwitchCounter = 0;
int StageSeconds = 0;
int PlayFrames = 0;
int ClearFrames = 0;
int GameOverFrames = 0;
int AiFrames = 0;
std::uint8_t CoreReleased = 0;

int* TileAt(int column, int row)
{
    if (column < 0 || column >= kGridSize || row < 0 || row >= kGridSize) return nullptr;
    return &Tiles[column * kGridSize + row];
}
