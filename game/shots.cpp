// Owns the shot and effect spawners and their motion over Shots and Effects
// (game/objects); debris draws from the library's GetRandomNumber (core/api).
#include "game/shots.h"

#include "core/api.h"

#include <cmath>

namespace {

constexpr float kK = static_cast<float>(kDegToRadFactor);
unsigned g_randState = 1;

GAMEOBJ* FirstFreeShot()
{
    for (GAMEOBJ& s : Shots)
        if (s.Life == 0) return &s;
    return nullptr;
}

GAMEOBJ* FirstFreeEffect()
{
    for (GAMEOBJ& e : Effects)
        if (e.Kind <= 0) return &e;
    return nullptr;
}

float PlayerCentreX()
{
    return Player.X + Player.Width / 2;
}

float PlayerCentreY()
{
    return Player.Y + Player.Height / 2;
}

float SpreadJitter(float spreadDeg)
{
    return static_cast<float>((DrawShotRand() / 32767.0 - 0.5) * spreadDeg * kDegToRadFactor);
}

} // namespace

int DrawShotRand()
{
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int>((g_randState >> 16) & 0x7FFF);
}

unsigned ShotRandState()
{
    return g_randState;
}

void ResetShotRand()
{
    g_randState = 1;
}

void ApplyShotType(GAMEOBJ& slot, int shotType, int ownerId)
{
    if (shotType == 0) {
        slot.Width = slot.Height = 12;
        slot.HitWidth = slot.HitHeight = 6;
    }
    slot.OwnerId = ownerId;
}

void FireSightProbe(const GAMEOBJ& source)
{
    GAMEOBJ* s = FirstFreeShot();
    if (s == nullptr) return;
    s->HitWidth = s->HitHeight = 20;
    s->X = source.X + source.Width / 2;
    s->Y = source.Y + source.Height / 2;
    const float a = static_cast<float>(std::atan2(PlayerCentreY() - s->Y, s->X - PlayerCentreX()));
    s->VX = static_cast<float>(-std::cos(a) * 15.0);
    s->VY = static_cast<float>(std::sin(a) * 15.0);
    s->Life = 1;
    s->OwnerId = source.OwnerId;
    s->Kind = kShotProbe;
}

void FireAimedShot(const GAMEOBJ& source, float speed, float spreadDeg, int offX, int offY, int shotType, float decay)
{
    GAMEOBJ* s = FirstFreeShot();
    if (s == nullptr) return;
    s->ShotType = shotType;
    ApplyShotType(*s, shotType, source.OwnerId);
    s->X = source.X + source.Width / 2 - s->Width / 2 + offX;
    s->Y = source.Y + source.Height / 2 - s->Height / 2 + offY;
    const float scx = s->X + s->Width / 2;
    const float scy = s->Y + s->Height / 2;
    const float j = SpreadJitter(spreadDeg);
    const float a = static_cast<float>(std::atan2(PlayerCentreY() - scy, scx - PlayerCentreX()));
    const float theta = a + j;
    s->VX = -std::cos(theta) * speed;
    s->VY = std::sin(theta) * speed;
    s->Life = 1;
    s->Kind = kShotAimed;
    s->Decay = decay;
}

void FireShotFan(const GAMEOBJ& source, int baseDeg, int count, int stepDeg, float speed, int offX, int offY,
                 float spreadDeg, int shotType, float decay, int countdown)
{
    if (count <= 0) return;
    const float step = stepDeg * kK;
    float o = count % 2 != 0 ? -(count / 2) * step : (-(count / 2) + 0.5f) * step;
    for (int i = 0; i < count; ++i, o += step) {
        GAMEOBJ* s = nullptr;
        for (GAMEOBJ& candidate : Shots)
            if (candidate.Life != 1) {
                s = &candidate;
                break;
            }
        if (s == nullptr) continue;
        const float b = baseDeg * kK + SpreadJitter(spreadDeg);
        const float cb = std::cos(b) * speed;
        const float sb = std::sin(b) * speed;
        const float co = std::cos(o);
        const float so = std::sin(o);
        s->VX = co * cb - so * sb;
        s->VY = so * cb + co * sb;
        s->ShotType = shotType;
        s->Decay = decay;
        ApplyShotType(*s, shotType, source.OwnerId);
        s->X = source.X + source.Width / 2 - s->Width / 2 + offX;
        s->Y = source.Y + source.Height / 2 - s->Height / 2 + offY;
        s->Life = 1;
        s->Kind = kShotFan;
        s->Countdown = countdown;
    }
}

void MoveShots()
{
    for (GAMEOBJ& s : Shots) {
        if (s.Life != 1) continue;
        if (s.Kind == kShotAimed || s.Kind == kShotFan) {
            if (s.Kind == kShotFan) s.Countdown -= 1;
            s.VX *= s.Decay;
            s.VY *= s.Decay;
            s.X += s.VX;
            s.Y += s.VY;
            if (s.Kind == kShotFan && s.Countdown == 1) {
                s.Countdown = 0;
                SpawnRing(static_cast<int>(s.X + 6.0f), static_cast<int>(s.Y + 6.0f), 30, 2);
                s.Life = 0;
            }
        } else if (s.Kind == kShotProbe) {
            s.X += s.VX;
            s.Y += s.VY;
        }
        if (s.Y + s.Height < 0 || s.Y - s.Height > 480 || s.X + s.Width < 0 || s.X - s.Width > 640) s.Life = 0;
    }
}

void MoveDebris()
{
    for (GAMEOBJ& e : Effects) {
        if (e.Kind != kEffectDebris) continue;
        e.X += e.VX;
        e.Y += e.VY;
        e.VX *= e.Decay;
        e.VY *= e.Decay;
        if (e.Y > 480 || e.X > 640 || e.X < 0 || e.Y < 0) e.Kind = 0;
    }
}

void SpawnDebris(int x, int y, int count, int type)
{
    for (int i = 0; i < count; ++i) {
        GAMEOBJ* e = FirstFreeEffect();
        if (e == nullptr) continue;
        e->Kind = kEffectDebris;
        e->X = static_cast<float>(x);
        e->Y = static_cast<float>(y);
        e->AngleDeg = static_cast<float>(GetRandomNumber(360));
        e->Width = e->Height = 5;
        e->Decay = 1.0f;
        if (type == 1) {
            e->Life = 20;
            e->Speed = 0.0f;
        } else {
            e->Speed = static_cast<float>(GetRandomNumber(6) + 3);
            e->Life = 30;
            if (type == 2) e->Decay = 0.93f;
        }
        e->AngleRad = e->AngleDeg * kK;
        e->VX = std::cos(e->AngleRad) * e->Speed;
        e->VY = std::sin(e->AngleRad) * e->Speed;
    }
}

void SpawnRing(int x, int y, int life, int step)
{
    GAMEOBJ* e = FirstFreeEffect();
    if (e == nullptr) return;
    e->Kind = kEffectRing;
    e->X = static_cast<float>(x);
    e->Y = static_cast<float>(y);
    e->Life = life;
    e->StartLife = life;
    e->Speed = static_cast<float>(step);
}

void SpawnLockOnMarker(const GAMEOBJ& source)
{
    GAMEOBJ* e = FirstFreeEffect();
    if (e == nullptr) return;
    e->Kind = kEffectMarker;
    e->X = Player.X;
    e->Y = Player.Y;
    e->Life = 100;
    e->OwnerId = source.OwnerId;
}
