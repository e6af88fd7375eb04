// The play state: one record type for everything that moves or is drawn in
// play, its fixed tables, the two stage grids and the play values. Every
// play step reads and writes them directly; nothing is allocated in play.
#pragma once

#include <cstdint>

struct GAMEOBJ {
    float X;
    float Y;
    int Life;
    int Countdown;
    std::uint8_t Large;
    float VX;
    float VY;
    float Decay;
    int ShotType;
    int Kind;
    int TouchHurts;
    float Speed;
    int FireTimer;
    int FireInterval;
    int LaserFrames;
    std::uint8_t IgnoresSight;
    int Width;
    int Height;
    int HitWidth;
    int HitHeight;
    float AngleDeg;
    float AngleRad;
    int Distance;
    int Range;
    int Sighted;
    int StartLife;
    int OwnerId;
};

struct FLOATTEXT {
    char Text[152];
    int X;
    int Y;
    int StepX;
    int StepY;
    int Life;
    int Colour;
};

constexpr int kEnemyCount = 100;
constexpr int kShotCount = 300;
constexpr int kEffectCount = 600;
constexpr int kSpawnCircleCount = 50;
constexpr int kFloatingTextCount = 200;
constexpr int kGridSize = 100;

// Shot motion kinds and effect kinds.
enum ShotKind { kShotAimed = 1, kShotFan = 2, kShotProbe = 3 };
enum EffectKind { kEffectDebris = 1, kEffectRing = 2, kEffectMarker = 3 };
// Enemy kinds as the stage files place them (cell values 1 to 31); the
// kinds after the fixed turrets do nothing but must be rammed for the clear.
enum EnemyKind {
    kEnemyFan = 1,          // aimed fan of 5
    kEnemyRing = 2,         // fixed ring of 72, turning picture
    kEnemyFastShot = 3,     // one fast aimed shot
    kEnemySlowShot = 4,     // one slow aimed shot
    kEnemyCannon = 5,       // three aimed fans of 7
    kEnemyMine = 6,         // ring of 36, then it dies
    kEnemyCore = 7,         // turning three-way spray; hurts while other enemies live
    kEnemyLockOn = 8,       // lock-on marker that bursts
    kEnemyLaser = 9,        // laser burst
    kEnemyTurretLeft = 10,  // fixed turrets, one shot every 5 frames
    kEnemyTurretRight = 11,
    kEnemyTurretUp = 12,
    kEnemyTurretDown = 13,
    kEnemyLastKind = 31,
};
// Tile values.
enum TileKind { kTileEmpty = 0, kTileSolid = 1, kTileOpen = 2, kTileCracked = 3 };

extern GAMEOBJ Player;
extern GAMEOBJ Enemies[kEnemyCount];
extern GAMEOBJ Shots[kShotCount];
extern GAMEOBJ Effects[kEffectCount];
extern GAMEOBJ SpawnCircles[kSpawnCircleCount];
extern FLOATTEXT FloatingTexts[kFloatingTextCount];

// Column-major: the cell of column c, row r is [c * 100 + r].
extern int Tiles[kGridSize * kGridSize];
extern int StageCells[kGridSize * kGridSize];

extern int PlayerLife;
extern int PlayerSpeed;
extern std::uint8_t BarrierMode;
extern int BarrierCharges;
extern int ModeSwitchCounter;
extern int StageSeconds;
extern int PlayFrames;
extern int ClearFrames;
extern int GameOverFrames;
extern int AiFrames;
extern std::uint8_t CoreReleased;

// The grid cell (c, r), or null outside the 100 x 100 grid.
int* TileAt(int column, int row);
