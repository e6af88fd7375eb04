// A searching player for the game's stages: it walks the block grid towards
// the nearest enemy it may ram, and when it is hit it rolls the whole play
// state back to an earlier checkpoint and tries a different move there
// (wait, sidestep, barrier). The pad bits of the winning run are kept, so
// the run can be replayed through the real frame loop.
#pragma once

#include "game/objects.h"
#include "game/datafiles.h"
#include "game/player.h"
#include "game/playdraw.h"
#include "game/playframe.h"
#include "game/shots.h"
#include "game/stage.h"
#include "game/winmain.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

struct PlaySnapshot {
    GAMEOBJ player;
    GAMEOBJ enemies[kEnemyCount];
    GAMEOBJ shots[kShotCount];
    GAMEOBJ effects[kEffectCount];
    GAMEOBJ circles[kSpawnCircleCount];
    int tiles[kGridSize * kGridSize];
    int values[9];
    std::uint8_t barrierMode, coreReleased;
    int programMode, bgmPlaying;
    float playPulse, barrierPulse;
    int bestTimes[kProgressEntries];

    void Take()
    {
        player = Player;
        std::copy(std::begin(Enemies), std::end(Enemies), enemies);
        std::copy(std::begin(Shots), std::end(Shots), shots);
        std::copy(std::begin(Effects), std::end(Effects), effects);
        std::copy(std::begin(SpawnCircles), std::end(SpawnCircles), circles);
        std::copy(std::begin(Tiles), std::end(Tiles), tiles);
        const int v[9] = {PlayerLife, PlayerSpeed, BarrierCharges, ModeSwitchCounter, StageSeconds,
                          PlayFrames, ClearFrames, GameOverFrames, AiFrames};
        std::copy(v, v + 9, values);
        barrierMode = BarrierMode;
        coreReleased = CoreReleased;
        programMode = ProgramMode;
        bgmPlaying = BgmPlaying;
        playPulse = PlayPulse;
        barrierPulse = BarrierPulse;
        std::copy(std::begin(BestTimes), std::end(BestTimes), bestTimes);
    }

    void Restore() const
    {
        Player = player;
        std::copy(enemies, enemies + kEnemyCount, Enemies);
        std::copy(shots, shots + kShotCount, Shots);
        std::copy(effects, effects + kEffectCount, Effects);
        std::copy(circles, circles + kSpawnCircleCount, SpawnCircles);
        std::copy(tiles, tiles + kGridSize * kGridSize, Tiles);
        int* targets[9] = {&PlayerLife, &PlayerSpeed, &BarrierCharges, &ModeSwitchCounter, &StageSeconds,
                           &PlayFrames, &ClearFrames, &GameOverFrames, &AiFrames};
        for (int i = 0; i < 9; ++i) *targets[i] = values[i];
        BarrierMode = barrierMode;
        CoreReleased = coreReleased;
        ProgramMode = programMode;
        BgmPlaying = bgmPlaying;
        PlayPulse = playPulse;
        BarrierPulse = barrierPulse;
        std::copy(bestTimes, bestTimes + kProgressEntries, BestTimes);
    }
};

struct StagePlayResult {
    bool cleared = false;      // the clear sequence ran to its end with the player alive
    int frames = 0;            // play frames of the winning run
    long simulated = 0;        // frames simulated in all, retries included
    std::vector<int> pads;     // the pad bits of each play frame of the winning run
};

namespace stage_player {

// The player stands on lattice points (20k, 20j): there its four block
// probes look only at the cells (k, j), (k, j - 1) and (k - 1, j), and a
// straight walk to a neighbouring valid point meets no other cell.
constexpr int kLatticeW = 33;  // k = 0 .. 32
constexpr int kLatticeH = 25;  // j = 0 .. 24

inline bool NoBlock(int c, int r)
{
    const int* t = TileAt(c, r);
    return t == nullptr || *t == kTileEmpty;
}

inline bool ValidPoint(int k, int j)
{
    return k >= 0 && k < kLatticeW && j >= 0 && j < kLatticeH && NoBlock(k, j) && NoBlock(k, j - 1) &&
           NoBlock(k - 1, j);
}

// Points from which a touch would hurt: around enemies whose touch hurts.
inline void MarkHarmful(std::array<bool, kLatticeW * kLatticeH>& banned)
{
    for (const GAMEOBJ& e : Enemies) {
        if (e.Life <= 0 || e.TouchHurts == 0) continue;
        for (int k = 0; k < kLatticeW; ++k)
            for (int j = 0; j < kLatticeH; ++j)
                if (20 * k > e.X - 12 && 20 * k < e.X + e.Width + 12 && 20 * j > e.Y - 12 && 20 * j < e.Y + e.Height + 12)
                    banned[k * kLatticeH + j] = true;
    }
}

// The next point on a shortest walk to a point from which an enemy that may
// be rammed is touched; false when none can be reached.
inline bool NextPoint(int fromK, int fromJ, int* nextK, int* nextJ)
{
    std::array<bool, kLatticeW * kLatticeH> banned{};
    MarkHarmful(banned);
    std::array<bool, kLatticeW * kLatticeH> goal{};
    bool any = false;
    for (const GAMEOBJ& e : Enemies) {
        if (e.Life <= 0 || e.TouchHurts != 0) continue;
        for (int k = 0; k < kLatticeW; ++k)
            for (int j = 0; j < kLatticeH; ++j)
                if (20 * k - 7 < e.X + e.Width && e.X < 20 * k + 7 && 20 * j - 7 < e.Y + e.Height && e.Y < 20 * j + 7 &&
                    ValidPoint(k, j)) {
                    goal[k * kLatticeH + j] = true;
                    any = true;
                }
    }
    if (!any) return false;
    std::array<int, kLatticeW * kLatticeH> from;
    from.fill(-1);
    std::deque<int> queue;
    const int start = fromK * kLatticeH + fromJ;
    from[start] = start;
    queue.push_back(start);
    while (!queue.empty()) {
        const int at = queue.front();
        queue.pop_front();
        if (goal[at]) {
            int step = at;
            while (from[step] != start && step != start) step = from[step];
            *nextK = step / kLatticeH;
            *nextJ = step % kLatticeH;
            return true;
        }
        const int k = at / kLatticeH, j = at % kLatticeH;
        const int around[4][2] = {{k + 1, j}, {k - 1, j}, {k, j + 1}, {k, j - 1}};
        for (const auto& n : around) {
            if (!ValidPoint(n[0], n[1])) continue;
            const int id = n[0] * kLatticeH + n[1];
            if (from[id] != -1 || banned[id]) continue;
            from[id] = at;
            queue.push_back(id);
        }
    }
    return false;
}

inline int Towards(float at, float to, int step, int less, int more)
{
    const float d = to - at;
    if (d >= step) return more;
    if (d <= -step) return less;
    return 0;
}

// The lattice point being walked to; none (k < 0) after a roll-back or a detour.
struct Waypoint {
    int k = -1;
    int j = -1;
};

// Onto the nearest valid lattice point first (one axis at a time), then from
// point to point along the walk.
inline int FollowPath(Waypoint& to)
{
    const int s = PlayerSpeed;
    if (to.k < 0 || !ValidPoint(to.k, to.j)) {
        float bestD = 1e9f;
        to = Waypoint{};
        for (int k = static_cast<int>(Player.X) / 20; k <= static_cast<int>(Player.X) / 20 + 1; ++k)
            for (int j = static_cast<int>(Player.Y) / 20; j <= static_cast<int>(Player.Y) / 20 + 1; ++j) {
                const float d = std::abs(20.0f * k - Player.X) + std::abs(20.0f * j - Player.Y);
                if (ValidPoint(k, j) && d < bestD) {
                    bestD = d;
                    to = Waypoint{k, j};
                }
            }
        if (to.k < 0) return 0;
    }
    if (Player.X == 20.0f * to.k && Player.Y == 20.0f * to.j) {
        int nk = to.k, nj = to.j;
        if (!NextPoint(to.k, to.j, &nk, &nj)) return 0;
        to = Waypoint{nk, nj};
    }
    const int onX = Towards(Player.X, 20.0f * to.k, s, kPadLeft, kPadRight);
    if (onX != 0) return onX;
    return Towards(Player.Y, 20.0f * to.j, s, kPadUp, kPadDown);
}

struct Detour {
    int until = -1;  // frame the detour ends
    int pad = 0;     // held bits, 0: stand still
};

inline int LiveEnemies()
{
    int n = 0;
    for (const GAMEOBJ& e : Enemies)
        if (e.Life > 0) ++n;
    return n;
}

} // namespace stage_player

// Plays the stage that StartStage has just loaded until the clear sequence
// ends or the budget of simulated frames is spent.
inline StagePlayResult SearchStageClear(long budget, unsigned seed = 12345)
{
    using namespace stage_player;
    constexpr int kEvery = 8;        // frames between checkpoints
    constexpr int kTries = 10;       // detours from one checkpoint before going further back
    constexpr int kStall = 900;      // frames without a kill that count as a failure
    constexpr int kMaxFrames = 30000;
    struct Checkpoint {
        std::unique_ptr<PlaySnapshot> state;
        int frame;
        int tries;
        int lastKill;
        int live;
    };
    StagePlayResult result;
    std::vector<Checkpoint> checkpoints;
    std::vector<std::unique_ptr<PlaySnapshot>> spare;
    std::vector<int> pads;
    Detour detour;
    Waypoint waypoint;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const int stage = CurrentStage;
    int frame = 0;
    int lastKill = 0;
    int live = LiveEnemies();
    bool exhausted = false;
    while (result.simulated < budget && !exhausted) {
        if (ProgramMode != 1) {
            result.cleared = BestTimes[stage - 1] > 0 && PlayerLife >= 0;
            if (result.cleared) break;
        }
        if (ProgramMode == 1 && frame % kEvery == 0 && (checkpoints.empty() || checkpoints.back().frame < frame)) {
            std::unique_ptr<PlaySnapshot> snap;
            if (spare.empty()) {
                snap = std::make_unique<PlaySnapshot>();
            } else {
                snap = std::move(spare.back());
                spare.pop_back();
            }
            snap->Take();
            checkpoints.push_back({std::move(snap), frame, 0, lastKill, live});
        }
        bool failed = ProgramMode != 1 || frame >= kMaxFrames;
        if (!failed) {
            int pad = 0;
            if (frame > 0) pad = frame < detour.until ? detour.pad : FollowPath(waypoint);
            if (frame < detour.until) waypoint = Waypoint{};
            // Out of barrier mode once it has done its part, standing still on even
            // ground: the switching frame still moves at speed 1.
            if (BarrierMode == 1 && ModeSwitchCounter > 50 && frame >= detour.until &&
                static_cast<int>(Player.X) % 2 == 0 && static_cast<int>(Player.Y) % 2 == 0)
                pad = kPadZ;
            PadInput = pad;
            RunPlayFrame();
            pads.push_back(pad);
            ++frame;
            ++result.simulated;
            const int now = LiveEnemies();
            if (now < live) lastKill = frame;
            live = now;
            failed = PlayerLife < 0 || frame - lastKill > kStall;
        }
        if (!failed) continue;

        // Back to the latest checkpoint with tries left, at least 16 frames
        // before the failure, and a new detour from there.
        while (checkpoints.size() > 1 &&
               (checkpoints.back().tries >= kTries || checkpoints.back().frame > frame - 16)) {
            spare.push_back(std::move(checkpoints.back().state));
            checkpoints.pop_back();
        }
        Checkpoint& cp = checkpoints.back();
        if (cp.tries >= kTries * 4) {
            exhausted = true;
            break;
        }
        cp.tries += 1;
        cp.state->Restore();
        frame = cp.frame;
        lastKill = cp.lastKill;
        live = cp.live;
        pads.resize(static_cast<std::size_t>(frame));
        static constexpr int kMoves[9] = {0, kPadUp, kPadDown, kPadLeft, kPadRight,
                                          kPadUp | kPadLeft, kPadUp | kPadRight, kPadDown | kPadLeft,
                                          kPadDown | kPadRight};
        detour.until = frame + 4 + static_cast<int>(next(28));
        detour.pad = kMoves[next(9)];
        if (BarrierMode == 0 && ModeSwitchCounter > 45 && BarrierCharges > 0 && next(4) == 0) detour.pad |= kPadZ;
    }
    result.frames = frame;
    result.pads = std::move(pads);
    return result;
}
