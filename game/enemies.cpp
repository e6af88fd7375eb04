// Owns the enemy kinds and their patterns over Enemies (game/objects); fires
// through game/shots and plays through game/resources.
#include "game/enemies.h"

#include "core/api.h"
#include "game/objects.h"
#include "game/resources.h"
#include "game/shots.h"

#include <cmath>

namespace {

struct KindInfo {
    int life;
    int range;
    int fireInterval;
    bool large;
    bool ignoresSight;
};

// Kinds up to the last turret; the others keep the spawn's defaults and do nothing.
constexpr KindInfo kKinds[kEnemyTurretDown + 1] = {
    {1, 0, 0, false, false},     {1, 200, 85, false, false}, {1, 500, 150, true, false}, {1, 600, 100, false, false},
    {100, 110, 40, false, false}, {1, 300, 110, true, false}, {1, 100, 20, false, false}, {1, 0, 3, true, true},
    {1, 200, 150, false, false}, {1, 300, 100, false, false}, {1, 0, 5, false, true},    {1, 0, 5, false, true},
    {1, 0, 5, false, true},      {1, 0, 5, false, true},
};

bool IdInUse(int id)
{
    for (const GAMEOBJ& e : Enemies)
        if (e.Life > 0 && e.OwnerId == id) return true;
    for (const GAMEOBJ& s : Shots)
        if (s.Life == 1 && s.OwnerId == id) return true;
    for (const GAMEOBJ& m : Effects)
        if (m.Kind == kEffectMarker && m.OwnerId == id) return true;
    return false;
}

// Identities link an enemy to its shots, probes and markers, so two live
// enemies must never share one: the drawn value steps on to a free one.
int UniqueOwnerId()
{
    int id = GetRandomNumber(2000);
    for (int tries = 0; tries <= 2000 && IdInUse(id); ++tries) id = id == 2000 ? 0 : id + 1;
    return id;
}

void Aim(GAMEOBJ& e)
{
    const float h = (Player.X + Player.Width / 2) - e.X - e.Width / 2;
    const float v = (Player.Y + Player.Height / 2) - e.Y - e.Height / 2;
    e.AngleRad = std::atan2(v, h);
    e.AngleDeg = static_cast<float>(e.AngleRad * 180 / 3.1415926535);
}

int LiveEnemyCount()
{
    int n = 0;
    for (const GAMEOBJ& e : Enemies)
        if (e.Life > 0) ++n;
    return n;
}

void Fan(const GAMEOBJ& e, int base, int count, int step, float speed, float decay, int countdown)
{
    FireShotFan(e, base, count, step, speed, 0, 0, 0.0f, 0, decay, countdown);
}

// The fan, the two shots, the cannon, the mine and the lock-on aim until the
// frame before firing; true on the fire frame.
bool AimOrFire(GAMEOBJ& e)
{
    if (e.FireTimer < e.FireInterval - 1) Aim(e);
    return e.FireTimer == e.FireInterval - 1;
}

void RunPattern(GAMEOBJ& e)
{
    switch (e.Kind) {
    case kEnemyFan:
        if (AimOrFire(e)) {
            Fan(e, static_cast<int>(e.AngleDeg), 5, 5, 3.0f, 1.0f, 0);
            PlayGameSound(kSndShot2);
            e.FireTimer = 0;
        }
        break;
    case kEnemyRing:
        if (e.Distance < e.Range && e.Sighted > 0) e.AngleDeg += 1.0f;
        e.AngleRad = std::atan2((Player.Y + Player.Height / 2) - e.Y - e.Height / 2,
                                (Player.X + Player.Width / 2) - e.X - e.Width / 2);
        if (e.FireTimer == e.FireInterval - 1) {
            Fan(e, 0, 72, 5, 2.0f, 1.0f, 0);
            PlayGameSound(kSndBaramaki);
        }
        if (e.FireTimer > e.FireInterval) e.FireTimer = 0;
        break;
    case kEnemyFastShot:
    case kEnemySlowShot:
        if (AimOrFire(e)) {
            FireAimedShot(e, e.Kind == kEnemyFastShot ? 8.0f : 3.0f, 0.0f, 0, 0, 0, 1.0f);
            PlayGameSound(kSndShot);
            e.FireTimer = 0;
        }
        break;
    case kEnemyCannon:
        if (AimOrFire(e)) {
            const int aim = static_cast<int>(e.AngleDeg);
            Fan(e, aim, 7, 5, 4.0f, 0.999f, 0);
            Fan(e, aim, 7, 5, 4.0f, 0.998f, 0);
            Fan(e, aim, 7, 5, 4.0f, 0.997f, 0);
            PlayGameSound(kSndCanon);
            e.FireTimer = 0;
        }
        break;
    case kEnemyMine:
        if (AimOrFire(e)) {
            Fan(e, static_cast<int>(e.AngleDeg), 36, 10, 2.0f, 1.0f, 150);
            PlayGameSound(kSndHakai);
            e.Life = 0;
            e.FireTimer = 0;
            SpawnDebris(static_cast<int>(e.X + e.Width / 2), static_cast<int>(e.Y + e.Height / 2), 30, 0);
        }
        break;
    case kEnemyCore: {
        if (LiveEnemyCount() == 1) {
            e.TouchHurts = 0;
            if (CoreReleased == 0) {
                CoreReleased = 1;
                PlayGameSound(kSndKaijyo);
            }
        } else {
            e.TouchHurts = 1;
        }
        e.AngleDeg += 0.4f;
        e.FireTimer += 1;
        const float keep = e.AngleDeg;
        Aim(e);
        e.AngleDeg = keep;
        if (e.FireTimer == e.FireInterval - 1) Fan(e, static_cast<int>(e.AngleDeg + 90.0f), 3, 120, 6.0f, 1.0f, 0);
        if (e.FireTimer > e.FireInterval) e.FireTimer = 0;
        break;
    }
    case kEnemyLockOn: {
        if (AimOrFire(e)) {
            e.FireTimer = 0;
            SpawnRing(static_cast<int>(e.X + 10), static_cast<int>(e.Y + 10), 30, 2);
            SpawnLockOnMarker(e);
            PlayGameSound(kSndRockon);
        }
        bool markerLives = false;
        for (const GAMEOBJ& m : Effects)
            if (m.Kind == kEffectMarker && m.OwnerId == e.OwnerId) markerLives = true;
        if (markerLives)
            e.FireTimer = 0;
        else if (e.Distance < e.Range)
            e.Sighted = 10;
        break;
    }
    case kEnemyLaser:
        if (e.LaserFrames <= 0) Aim(e);
        if (e.FireTimer == e.FireInterval - 1) {
            e.LaserFrames = 250;
            PlayGameSound(kSndLaser);
        }
        if (e.LaserFrames > 0) {
            e.LaserFrames -= 1;
            e.FireTimer = 0;
            if (e.LaserFrames % 3 == 0) Fan(e, static_cast<int>(e.AngleDeg), 1, 1, 6.0f, 1.0f, 200);
        }
        break;
    case kEnemyTurretLeft:
    case kEnemyTurretRight:
    case kEnemyTurretUp:
    case kEnemyTurretDown: {
        static constexpr int kDirection[4] = {180, 0, 270, 90};
        e.FireTimer += 1;
        if (e.FireTimer > e.FireInterval - 1) {
            Fan(e, kDirection[e.Kind - kEnemyTurretLeft], 1, 0, 4.0f, 1.0f, 0);
            e.FireTimer = 0;
        }
        break;
    }
    default:
        break;
    }
}

// Enemies placed beyond an edge stand at it.
void KeepOnScreen(float& at, float& velocity, int size, int limit)
{
    if (at + size > limit) {
        at = static_cast<float>(limit - size);
        velocity = -velocity;
    }
    if (at < 0) {
        at = 0;
        velocity = -velocity;
    }
}

} // namespace

void SpawnEnemy(int x, int y, int kind)
{
    GAMEOBJ* e = nullptr;
    for (GAMEOBJ& candidate : Enemies)
        if (candidate.Life <= 0) {
            e = &candidate;
            break;
        }
    if (e == nullptr) return;
    e->Speed = e->VX = e->VY = 0.0f;
    e->Kind = kind;
    e->Range = 0;
    e->FireInterval = 0;
    e->IgnoresSight = 0;
    e->Life = 1;
    e->Large = 0;
    if (kind >= kEnemyFan && kind <= kEnemyTurretDown) {
        const KindInfo& k = kKinds[kind];
        e->Range = k.range;
        e->FireInterval = k.fireInterval;
        e->Large = k.large ? 1 : 0;
        e->IgnoresSight = k.ignoresSight ? 1 : 0;
        e->Life = k.life;
    }
    e->Width = e->Height = e->HitWidth = e->HitHeight = e->Large ? 40 : 20;
    e->X = static_cast<float>(x - e->Width / 2);
    e->Y = static_cast<float>(y - e->Height / 2);
    SpawnRing(x, y, 50, 2);
    e->OwnerId = -1;  // the slot's last identity is not in use by it
    e->OwnerId = UniqueOwnerId();
}

void UpdateEnemies()
{
    AiFrames += 1;
    for (GAMEOBJ& e : Enemies) {
        if (e.Life <= 0) continue;
        const float dx = Player.X - e.X;
        const float dy = Player.Y - e.Y;
        e.Distance = static_cast<int>(std::sqrt(dx * dx + dy * dy));
        if (e.Distance < e.Range && AiFrames % 10 == 0) FireSightProbe(e);
        if (e.Distance < e.Range) {
            if (e.Sighted > 0) e.FireTimer += 1;
        } else if (e.Distance > e.Range && e.IgnoresSight == 0) {
            e.FireTimer = 0;
        }
        if (e.Sighted < 0) {
            if (e.IgnoresSight != 1) e.FireTimer = 0;
        } else {
            e.Sighted -= 1;
        }
        RunPattern(e);
        KeepOnScreen(e.X, e.VX, e.Width, 640);
        KeepOnScreen(e.Y, e.VY, e.Height, 480);
    }
    MoveDebris();
    for (GAMEOBJ& c : SpawnCircles) {
        if (c.Life <= 0) continue;
        c.Life -= 1;
        if (c.Life == 0 && c.Kind > 0) {
            SpawnEnemy(static_cast<int>(c.X), static_cast<int>(c.Y), c.Kind);
            c.Kind = 0;
        }
    }
}
