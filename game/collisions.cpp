// Owns the collision step over Shots, Enemies, Player and Tiles
// (game/objects); spawns effects through game/shots, draws the flash and
// plays sounds through the public entries (core/api).
#include "game/collisions.h"

#include "core/api.h"
#include "game/resources.h"
#include "game/shots.h"

namespace {

bool EdgesOverlap(int l1, int t1, int r1, int b1, int l2, int t2, int r2, int b2)
{
    return l1 < r2 && l2 < r1 && t1 < b2 && t2 < b1;
}

void KillPlayer(int debris)
{
    PlayerLife -= 1;
    PlayGameSound(kSndDmage);
    SpawnDebris(static_cast<int>(Player.X + Player.Width / 2), static_cast<int>(Player.Y + Player.Height / 2), debris,
                0);
}

void ShotAgainstPlayer(GAMEOBJ& shot)
{
    if (shot.Kind == kShotProbe) {
        for (GAMEOBJ& e : Enemies)
            if (e.OwnerId == shot.OwnerId && e.Kind != kEnemyLockOn) e.Sighted = 50;
        shot.Life = 0;
    } else if (BarrierMode != 0 && BarrierCharges > 0) {
        BarrierCharges -= 1;
        shot.Life = 0;
        SpawnRing(static_cast<int>(shot.X), static_cast<int>(shot.Y), 30, 2);
        PlayGameSound(kSndRef);
    } else {
        shot.Life = 0;
        KillPlayer(300);
        for (GAMEOBJ& s : Shots) s.Life = 0;
    }
}

// Only the cells under the shot's 8 x 8 box can match; they are visited in
// the grid's column-major order, as a walk over every cell would.
void ShotAgainstTiles(GAMEOBJ& shot)
{
    const int sx = static_cast<int>(shot.X);
    const int sy = static_cast<int>(shot.Y);
    const int left = sx + 2, top = sy + 2;  // the 8 x 8 box inside 12 x 12
    auto cellOf = [](int v) { return v >= 0 ? v / 20 : -((-v + 19) / 20); };
    const int c0 = cellOf(left) , c1 = cellOf(left + 7);
    const int r0 = cellOf(top), r1 = cellOf(top + 7);
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r) {
            int* tile = TileAt(c, r);
            if (tile == nullptr || (*tile != kTileSolid && *tile != kTileCracked)) continue;
            const int x = 20 * c, y = 20 * r;
            if (!IntBoxesOverlap(sx, sy, x, y, 12, 12, 20, 20, 8, 8, 20, 20)) continue;
            if (*tile == kTileSolid) {
                if (shot.Kind != kShotProbe)
                    SpawnRing(static_cast<int>(shot.X + 6.0f), static_cast<int>(shot.Y + 6.0f), 30, 2);
            } else if (shot.Kind != kShotProbe) {
                SpawnRing(sx, sy, 30, 2);
                PlayGameSound(kSndHakai);
                SpawnDebris(x, y, 20, 0);
                *tile = kTileEmpty;
            }
            shot.Life = 0;
        }
}

void RamEnemy(GAMEOBJ& e)
{
    const int cx = static_cast<int>(e.X + e.Width / 2);
    const int cy = static_cast<int>(e.Y + e.Height / 2);
    e.Life = 0;
    SpawnRing(cx, cy, 300, 10);
    e.FireTimer = 0;
    SpawnDebris(cx, cy, 50, 0);
    PlayGameSound(kSndHakai);
    if (e.Kind == kEnemyCore || e.Kind == kEnemyRing || e.Kind == kEnemyCannon) {
        SelectBlendMode(BLEND_ADD, 255);
        DrawGraphAt(0, 0, GameImages.flash, 0);
        SelectBlendMode(BLEND_NONE, 0);
    }
    for (GAMEOBJ& s : Shots) {
        if (s.OwnerId != e.OwnerId) continue;
        if (s.Life == 1) SpawnRing(static_cast<int>(s.X), static_cast<int>(s.Y), 26, 2);
        s.OwnerId = 0;
        s.Life = 0;
    }
}

} // namespace

int IntBoxesOverlap(int x1, int y1, int x2, int y2, int w1, int h1, int w2, int h2, int hw1, int hh1, int hw2,
                    int hh2)
{
    return EdgesOverlap(x1 + (w1 - hw1) / 2, y1 + (h1 - hh1) / 2, x1 + (w1 + hw1) / 2, y1 + (h1 + hh1) / 2,
                        x2 + (w2 - hw2) / 2, y2 + (h2 - hh2) / 2, x2 + (w2 + hw2) / 2, y2 + (h2 + hh2) / 2)
               ? 1
               : 0;
}

int ObjectsOverlap(const GAMEOBJ& a, const GAMEOBJ& b)
{
    auto edge = [](float at, int size, int hit, int sign) {
        return static_cast<int>(at + (sign < 0 ? (size - hit) / 2 : (size + hit) / 2));
    };
    return EdgesOverlap(edge(a.X, a.Width, a.HitWidth, -1), edge(a.Y, a.Height, a.HitHeight, -1),
                        edge(a.X, a.Width, a.HitWidth, 1), edge(a.Y, a.Height, a.HitHeight, 1),
                        edge(b.X, b.Width, b.HitWidth, -1), edge(b.Y, b.Height, b.HitHeight, -1),
                        edge(b.X, b.Width, b.HitWidth, 1), edge(b.Y, b.Height, b.HitHeight, 1))
               ? 1
               : 0;
}

void ResolveCollisions()
{
    for (GAMEOBJ& shot : Shots) {
        if (shot.Life != 1) continue;
        if (PlayerLife >= 0 && ObjectsOverlap(Player, shot)) ShotAgainstPlayer(shot);
        ShotAgainstTiles(shot);
    }
    for (GAMEOBJ& e : Enemies) {
        if (PlayerLife < 0) break;
        if (e.Life <= 0 || !ObjectsOverlap(Player, e)) continue;
        if (e.TouchHurts == 0)
            RamEnemy(e);
        else
            KillPlayer(200);
    }
}
