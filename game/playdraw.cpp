// Owns the play screen's pulses and drawing over the play tables
// (game/objects) with the pictures of game/resources; the lock-on markers'
// bursts go through game/shots. Draws only through the public entries.
#include "game/playdraw.h"

#include "core/api.h"
#include "game/objects.h"
#include "game/resources.h"
#include "game/shots.h"

#include <cmath>

float PlayPulse = 0.0f;
float BarrierPulse = 0.0f;

namespace {

int T(float v)
{
    return static_cast<int>(v);
}

// Kinds up to the laser: a base at the enemy's corner and barrels turned about a
// pivot placed at its centre, each at the aim less its offset.
struct EnemyLook {
    int GAMEIMAGES::*base;
    int GAMEIMAGES::*barrel;  // null: none
    int px, py;
    int offsets[3];
    int barrels;
};

constexpr EnemyLook kLooks[kEnemyLaser + 1] = {
    {nullptr, nullptr, 0, 0, {}, 0},
    {&GAMEIMAGES::dai20, &GAMEIMAGES::hou30w, 8, 13, {90}, 1},
    {&GAMEIMAGES::dai40, &GAMEIMAGES::hou40, 6, 13, {0, 120, 240}, 3},
    {&GAMEIMAGES::dai20, &GAMEIMAGES::hou40, 6, 13, {90}, 1},
    {&GAMEIMAGES::dai20, &GAMEIMAGES::hou20, 4, 13, {90}, 1},
    {&GAMEIMAGES::dai40, &GAMEIMAGES::hou40w, 16, 13, {90}, 1},
    {&GAMEIMAGES::jirai, nullptr, 0, 0, {}, 0},
    {&GAMEIMAGES::dai40, &GAMEIMAGES::hou40, 6, 13, {0, 120, 240}, 3},
    {&GAMEIMAGES::misadai, &GAMEIMAGES::misaile, 7, 11, {90}, 1},
    {&GAMEIMAGES::dai20, &GAMEIMAGES::reza, 14, 6, {90}, 1},
};

void DrawEnemyBody(const GAMEOBJ& e)
{
    const int cx = T(e.X + e.Width / 2), cy = T(e.Y + e.Height / 2);
    if (e.Kind >= kEnemyTurretLeft && e.Kind <= kEnemyTurretDown) {
        static constexpr int kTurn[4] = {90, 270, 180, 0};
        DrawGraphRotated(cx, cy, 1.0, DegToRad(kTurn[e.Kind - kEnemyTurretLeft]), GameImages.kotei, 1, 0);
        return;
    }
    if (e.Kind < kEnemyFan || e.Kind > kEnemyLaser) return;
    const EnemyLook& look = kLooks[e.Kind];
    if (e.Kind == kEnemyCore) SelectBrightness(200, 0, 0);  // the core is always red
    DrawGraphAt(T(e.X), T(e.Y), GameImages.*look.base, 1);
    for (int i = 0; i < look.barrels; ++i)
        DrawGraphRotatedPivot(cx, cy, look.px, look.py, 1.0, (e.AngleDeg - look.offsets[i]) * 3.1415926535 / 180,
                              GameImages.*look.barrel, 1, 0);
    if (e.Kind == kEnemyCore) {
        if (e.TouchHurts == 1) DrawCircleShape(cx, cy, 50, GetColorValue(255, 0, 0), 0);
        SelectBrightness(255, 255, 255);
    }
}

void DrawEnemy(const GAMEOBJ& e)
{
    ColorValue aimColour;
    if (e.Distance < e.Range) {
        aimColour = GetColorValue(155, 0, 0);
        if (e.Sighted > 0) SelectBrightness(200, 0, 0);
    } else {
        aimColour = GetColorValue(30, 30, 30);
        if (e.Sighted > 0) SelectBrightness(255, 255, 255);
    }
    if (PlayerLife == 0 && e.Sighted > 0 && e.LaserFrames <= 0) {
        const float cx = static_cast<float>(T(e.X + e.Width / 2));
        const float cy = static_cast<float>(T(e.Y + e.Height / 2));
        DrawLineSegment(T(cx), T(cy), T(cx + std::cos(e.AngleRad) * e.Range), T(cy + std::sin(e.AngleRad) * e.Range),
                        aimColour, 2);
    }
    SelectBlendMode(BLEND_ADD, static_cast<int>(std::sin(PlayPulse - 180) * 20 + 240));
    DrawEnemyBody(e);
    SelectBlendMode(BLEND_NONE, 0);
    SelectBrightness(255, 255, 255);

    const ColorValue gauge =
        e.FireTimer > e.FireInterval - 50 ? GetColorValue(255, 0, 0) : GetColorValue(255, 255, 255);
    if (e.FireTimer > 0) {
        const int gy = e.Y > 10 ? T(e.Y - 10) : T(e.Y + 5);
        DrawLineSegment(T(e.X - 10), gy, T(e.X - 10 + (e.FireInterval / 2 - e.FireTimer / 2)), gy, gauge, 3);
    }
}

void DrawPlayerAndBarrier()
{
    const ColorValue white = GetColorValue(255, 255, 255);
    const GAMEOBJ& p = Player;
    const int cx = T(p.X + p.Width / 2), cy = T(p.Y + p.Height / 2);
    // The spin angle is passed as radians as it stands.
    DrawGraphRotatedPivot(cx, cy, 10, 10, 1.0, p.AngleDeg, GameImages.my, 1, 0);
    DrawGraphRotatedPivot(cx, cy, 10, 10, 1.0, p.AngleDeg - 180, GameImages.my, 1, 0);
    if (BarrierMode == 1) {
        DrawCircleShape(T(p.X), T(p.Y), 20, white, 0);
        SelectBlendMode(BLEND_ADD, static_cast<int>(std::sin(BarrierPulse) * 50 + 100));
        DrawGraphAt(T(p.X - 20), T(p.Y - 20), GameImages.baria, 1);
        SelectBlendMode(BLEND_NONE, 1);
        const int gy = T(p.Y - 15 + GetRandomNumber(30));
        DrawLineSegment(T(p.X - 16), gy, T(p.X + 16), gy, white, 1);
        DrawLineSegment(T(p.X - 20), T(p.Y - 15), T(p.X - 20 + 5 * BarrierCharges), T(p.Y - 15),
                        GetColorValue(255, 0, 0), 3);
    }
    if (ModeSwitchCounter > 50) DrawFormattedText(T(p.X - 10), T(p.Y + 5), white, "ok");
}

void DrawAndAgeEffect(GAMEOBJ& e)
{
    if (e.Kind == kEffectDebris && e.Life > 0) {
        SelectBlendMode(BLEND_ADD, 155);
        DrawGraphAt(T(e.X - e.Width / 2), T(e.Y - e.Height / 2), GameImages.chip, 1);
        SelectBlendMode(BLEND_NONE, 255);
        e.Life -= 1;
        if (e.Life == 0) e.Kind = 0;
    }
    if (e.Kind == kEffectRing && e.Life > 0) {
        DrawCircleShape(T(e.X), T(e.Y), e.StartLife - e.Life, GetColorValue(255, 255, 255), 0);
        e.Life = T(e.Life - e.Speed);
        if (e.Life <= 0) e.Kind = 0;
    }
    if (e.Kind == kEffectMarker && e.Life > 0) {
        e.StartLife += 1;
        if (e.StartLife % 20 != 1) DrawGraphAt(T(e.X - 16), T(e.Y - 16), GameImages.marking, 1);
        DrawLineSegment(T(e.X - 16), T(e.Y - 16), T(e.X - 16 + e.Life / 2), T(e.Y - 16), GetColorValue(255, 0, 0), 3);
        e.Life -= 1;
        if (e.Life == 1) {
            PlayGameSound(kSndMisail);
            FireShotFan(e, 0, 64, 6, 4.0f, 0, 0, 0.0f, 0, 1.0f, 20);
            SpawnRing(T(e.X), T(e.Y), 80, 3);
        }
        if (e.Life == 0) e.Kind = e.OwnerId = e.StartLife = 0;
    }
}

} // namespace

float DegToRad(int degrees)
{
    return static_cast<float>(degrees * 3.1415926535 / 180);
}

void UpdateFloatingTexts()
{
    for (FLOATTEXT& t : FloatingTexts) {
        if (t.Life <= 0) continue;
        // Shown as it stands: a stored text is never a format.
        DrawFormattedText(t.X, t.Y, static_cast<ColorValue>(t.Colour), "%s", t.Text);
        if (t.Life < 1000) t.Life -= 1;
        t.X += t.StepX;
        t.Y += t.StepY;
    }
}

void DrawPlayScreen()
{
    PlayPulse += 0.1f;
    SelectBlendMode(BLEND_ALPHA, 100);
    DrawGraphAt(0, 0, GameImages.haikei, 0);

    SelectBlendMode(BLEND_ADD, static_cast<int>(std::sin(PlayPulse) * 30 + 200));
    const int blockPictures[4] = {0, GameImages.brock, GameImages.brock2, GameImages.brock_hibi};
    for (int c = 0; c < kGridSize; ++c)
        for (int r = 0; r < kGridSize; ++r) {
            const int v = Tiles[c * kGridSize + r];
            if (v >= 1 && v <= 3) DrawGraphAt(20 * c, 20 * r, blockPictures[v], 0);
        }
    SelectBlendMode(BLEND_NONE, 255);

    for (GAMEOBJ& c : SpawnCircles) {
        if (c.Life <= 0) continue;
        c.AngleDeg += 1.0f;
        if (c.AngleDeg > 360) c.AngleDeg = 0.0f;
        DrawGraphRotated(T(c.X), T(c.Y), 1.0, c.AngleDeg, GameImages.circle, 1, 0);
    }

    for (const GAMEOBJ& e : Enemies)
        if (e.Kind > 0 && e.Life > 0) DrawEnemy(e);

    BarrierPulse += 0.2f;
    if (PlayerLife >= 0) DrawPlayerAndBarrier();

    for (GAMEOBJ& e : Effects) DrawAndAgeEffect(e);

    DrawFormattedText(620, 0, GetColorValue(255, 255, 255), "%d", StageSeconds);
    UpdateFloatingTexts();

    SelectBlendMode(BLEND_ADD, 255);
    for (const GAMEOBJ& s : Shots)
        if (s.Life == 1 && s.Kind != kShotProbe) DrawGraphAt(T(s.X), T(s.Y), GameImages.etama, 1);
    SelectBlendMode(BLEND_NONE, 255);
}
