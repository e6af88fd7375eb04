// Owns the player's movement and mode over Player and the play values
// (game/objects); reads PadInput (game/winmain), spawns debris and plays
// sounds through game/shots and game/resources.
#include "game/player.h"

#include "game/objects.h"
#include "game/resources.h"
#include "game/shots.h"
#include "game/winmain.h"

namespace {

bool BlockAt(int column, int row)
{
    const int* tile = TileAt(column, row);
    return tile != nullptr && *tile >= kTileSolid && *tile <= kTileCracked;
}

int Trunc(float v)
{
    return static_cast<int>(v);
}

} // namespace

void MovePlayer()
{
    const float s = static_cast<float>(PlayerSpeed);
    Player.AngleDeg += 1.0f;
    if (PadInput & kPadUp) Player.Y -= s;
    if (PadInput & kPadDown) Player.Y += s;
    if (PadInput & kPadLeft) Player.X -= s;
    if (PadInput & kPadRight) Player.X += s;

    // A cross of four points 10 pixels out; each block found pushes one step back.
    if (BlockAt(Trunc(Player.X) / 20, Trunc(Player.Y + 10) / 20 - 1)) Player.Y += s;
    if (BlockAt(Trunc(Player.X) / 20, Trunc(Player.Y - 10) / 20 + 1)) Player.Y -= s;
    const int row = Trunc(Player.Y) / 20;
    if (BlockAt(Trunc(Player.X + 10) / 20 - 1, row)) Player.X += s;
    if (BlockAt(Trunc(Player.X - 10) / 20 + 1, row)) Player.X -= s;

    if (Player.Y < 0) Player.Y += s;
    if (Player.Y + Player.Height > 480) Player.Y -= s;
    if (Player.X < 0) Player.X += s;
    if (Player.X + Player.Width > 640) Player.X -= s;
}

void UpdateModeAndSelfDestruct()
{
    if (PlayerLife >= 0) {
        ModeSwitchCounter += 1;
        if (ModeSwitchCounter == 49) PlayGameSound(kSndPipipi);
        if ((PadInput & kPadZ) && ModeSwitchCounter > 50) {
            ModeSwitchCounter = 0;
            if (BarrierMode == 0) {
                BarrierMode = 1;
                PlayGameSound(kSndBaramaki);
            } else {
                BarrierMode = 0;
                PlayGameSound(kSndChangemode);
            }
        }
        if (BarrierMode == 0) {
            PlayerSpeed = 2;
            Player.HitWidth = 15;
            Player.HitHeight = 15;
        } else {
            PlayerSpeed = 1;
            Player.HitHeight = Player.Width + 20;
        }
    }
    if ((PadInput & kPadR) && PlayerLife >= 0) {
        PlayerLife -= 1;
        PlayGameSound(kSndDmage);
        SpawnDebris(static_cast<int>(Player.X + Player.Width / 2), static_cast<int>(Player.Y + Player.Height / 2), 300,
                    0);
    }
}
