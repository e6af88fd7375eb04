// The design rules of the shipped stages and data files: every stage fits
// the screen, starts safely, and lets the player ram every enemy (the core
// last) along passages the player's four block probes can pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <queue>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kColumns = 32;
constexpr int kRows = 24;
constexpr int kStages = 30;
constexpr int kPlayerHalf = 7;        // the player's 15-pixel hit box
constexpr int kMinClearFrames = 120;  // a clear under 100 frames may store no time

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DataPath(const std::string& name) { return std::string(ZARVO_DATA_DIR) + "/" + name; }

struct Enemy {
    int kind, column, row;
    int Size() const { return (kind == 2 || kind == 5 || kind == 7) ? 40 : 20; }
    int Left() const { return 20 * column + 10 - Size() / 2; }
    int Top() const { return 20 * row + 10 - Size() / 2; }
};

struct Stage {
    int cells[kColumns][kRows] = {};
    std::vector<Enemy> enemies;
    std::vector<std::pair<int, int>> starts;
    bool breakable[kColumns][kRows] = {};

    int Tile(int c, int r) const
    {
        if (c < 0 || r < 0 || c >= kColumns || r >= kRows) return 0;
        const int v = cells[c][r];
        return v >= 33 && v <= 35 ? v - 32 : 0;
    }
    // Solid and cracked blocks stop shots and sight; open blocks only the player.
    bool StopsSight(int c, int r) const { return Tile(c, r) == 1 || Tile(c, r) == 3; }
    bool StopsPlayer(int c, int r) const { return Tile(c, r) != 0 && !breakable[c][r]; }
};

// Parses one stage file strictly: 24 lines of 32 values, line feeds, the
// values the design allows. Answers the reasons it refused, if any.
std::string ParseStage(const std::string& text, Stage& stage)
{
    std::istringstream in(text);
    std::string line;
    int row = 0;
    while (std::getline(in, line)) {
        if (row >= kRows) return "more than 24 rows";
        std::vector<std::string> fields;
        std::stringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) fields.push_back(cell);
        if (fields.size() != kColumns) return "row " + std::to_string(row) + " has " + std::to_string(fields.size()) + " cells";
        for (int c = 0; c < kColumns; ++c) {
            const std::string& f = fields[c];
            if (f.empty() || f.find_first_not_of("0123456789") != std::string::npos)
                return "row " + std::to_string(row) + " holds \"" + f + "\"";
            const int v = std::stoi(f);
            if (!((v >= 0 && v <= 13) || (v >= 32 && v <= 35)))
                return "value " + std::to_string(v) + " at column " + std::to_string(c) + ", row " + std::to_string(row);
            stage.cells[c][row] = v;
            if (v >= 1 && v <= 13) stage.enemies.push_back({v, c, row});
            if (v == 32) stage.starts.push_back({c, row});
        }
        ++row;
    }
    if (row != kRows) return std::to_string(row) + " rows";
    if (text.empty() || text.back() != '\n' || text.find('\r') != std::string::npos) return "line ends are not line feeds";
    return "";
}

// A fixed turret never stops: the cracked blocks its stream meets before a
// solid block will be broken, so they do not bar the way.
void MarkTurretBreaches(Stage& s)
{
    for (const Enemy& e : s.enemies) {
        if (e.kind < 10) continue;
        const int dc = e.kind == 10 ? -1 : e.kind == 11 ? 1 : 0;
        const int dr = e.kind == 12 ? -1 : e.kind == 13 ? 1 : 0;
        for (int c = e.column + dc, r = e.row + dr; c >= 0 && r >= 0 && c < kColumns && r < kRows; c += dc, r += dr) {
            if (s.Tile(c, r) == 1) break;
            if (s.Tile(c, r) == 3) s.breakable[c][r] = true;
        }
    }
}

bool TurretStreamHits(const Stage& s, const Enemy& e, int sc, int sr)
{
    const int dc = e.kind == 10 ? -1 : e.kind == 11 ? 1 : 0;
    const int dr = e.kind == 12 ? -1 : e.kind == 13 ? 1 : 0;
    for (int c = e.column + dc, r = e.row + dr; c >= 0 && r >= 0 && c < kColumns && r < kRows; c += dc, r += dr) {
        if (s.Tile(c, r) == 1) return false;
        if ((c == sc || c == sc - 1) && (r == sr || r == sr - 1)) return true;
    }
    return false;
}

bool LineOfSight(const Stage& s, double x0, double y0, double x1, double y1)
{
    const double length = std::hypot(x1 - x0, y1 - y0);
    const int steps = static_cast<int>(length) + 1;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const int c = static_cast<int>(std::floor((x0 + (x1 - x0) * t) / 20));
        const int r = static_cast<int>(std::floor((y0 + (y1 - y0) * t) / 20));
        if (s.StopsSight(c, r)) return false;
    }
    return true;
}

// The player's centre on a 2-pixel lattice from its start: a place is open
// when the four probe points 10 pixels away lie in cells that do not stop it.
class Walk {
public:
    Walk(const Stage& s, int startX, int startY, const Enemy* avoid)
        : stage_(s), ox_(startX % 2), oy_(startY % 2), avoid_(avoid)
    {
        frames_.assign(kW * kH, -1);
        std::queue<int> open;
        if (!Open(startX, startY)) return;
        frames_[Index(startX, startY)] = 0;
        open.push(Index(startX, startY));
        while (!open.empty()) {
            const int at = open.front();
            open.pop();
            const int x = (at % kW) * 2 + ox_, y = (at / kW) * 2 + oy_;
            for (int dx = -2; dx <= 2; dx += 2)
                for (int dy = -2; dy <= 2; dy += 2) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx == 0 && dy == 0) || !Open(nx, ny) || frames_[Index(nx, ny)] >= 0) continue;
                    if (dx != 0 && dy != 0 && !(Open(x + dx, y) && Open(x, y + dy))) continue;
                    frames_[Index(nx, ny)] = frames_[at] + 1;
                    open.push(Index(nx, ny));
                }
        }
    }

    // Frames of the shortest walk to a place touching the enemy, or -1.
    int FramesToRam(const Enemy& e) const
    {
        int best = -1;
        for (int x = e.Left() - kPlayerHalf; x <= e.Left() + e.Size() + kPlayerHalf; ++x)
            for (int y = e.Top() - kPlayerHalf; y <= e.Top() + e.Size() + kPlayerHalf; ++y) {
                if (!Touches(x, y, e) || !OnLattice(x, y)) continue;
                const int f = frames_[Index(x, y)];
                if (f >= 0 && (best < 0 || f < best)) best = f;
            }
        return best;
    }

private:
    static constexpr int kW = 321, kH = 241;

    static bool Touches(int x, int y, const Enemy& e)
    {
        return x - kPlayerHalf < e.Left() + e.Size() && e.Left() < x + kPlayerHalf &&
               y - kPlayerHalf < e.Top() + e.Size() && e.Top() < y + kPlayerHalf;
    }
    bool OnLattice(int x, int y) const
    {
        return x >= 0 && y >= 0 && x <= 640 && y <= 480 && (x - ox_) % 2 == 0 && (y - oy_) % 2 == 0;
    }
    int Index(int x, int y) const { return ((y - oy_) / 2) * kW + (x - ox_) / 2; }
    bool Open(int x, int y) const
    {
        if (!OnLattice(x, y)) return false;
        auto free = [&](int px, int py) {
            return !stage_.StopsPlayer(static_cast<int>(std::floor(px / 20.0)), static_cast<int>(std::floor(py / 20.0)));
        };
        if (!free(x, y - 10) || !free(x, y + 10) || !free(x - 10, y) || !free(x + 10, y)) return false;
        return avoid_ == nullptr || !Touches(x, y, *avoid_);
    }

    const Stage& stage_;
    int ox_, oy_;
    const Enemy* avoid_;
    std::vector<int> frames_;
};

// Every broken rule of one stage, one line each.
std::vector<std::string> StageFaults(int number)
{
    std::vector<std::string> faults;
    Stage s;
    const std::string text = ReadFile(DataPath("date/stage/" + std::to_string(number) + ".csv"));
    if (const std::string why = ParseStage(text, s); !why.empty()) return {why};
    MarkTurretBreaches(s);

    if (s.starts.size() != 1) return {std::to_string(s.starts.size()) + " player starts"};
    const int sc = s.starts[0].first, sr = s.starts[0].second;
    const int sx = 20 * sc, sy = 20 * sr;
    if (sc < 1 || sr < 1) faults.push_back("the start touches the screen edge");
    for (int c = sc - 1; c <= sc; ++c)
        for (int r = sr - 1; r <= sr; ++r)
            if (s.Tile(c, r) != 0) faults.push_back("a block next to the start");
    if (s.cells[31][0] != 0) faults.push_back("the cell under the play time is not empty");

    const int cores = static_cast<int>(std::count_if(s.enemies.begin(), s.enemies.end(), [](const Enemy& e) { return e.kind == 7; }));
    if (s.enemies.empty() || s.enemies.size() > 40) faults.push_back(std::to_string(s.enemies.size()) + " enemies");
    if (cores > 1) faults.push_back("more than one core");

    const Enemy* core = nullptr;
    for (const Enemy& e : s.enemies) {
        const std::string at = "kind " + std::to_string(e.kind) + " at (" + std::to_string(e.column) + "," + std::to_string(e.row) + ")";
        const double cx = 20 * e.column + 10, cy = 20 * e.row + 10;
        if (std::hypot(cx - sx, cy - sy) < 80 + (e.Size() - 20) / 2) faults.push_back(at + " is too near the start");
        if (e.kind >= 10 && TurretStreamHits(s, e, sc, sr)) faults.push_back(at + " fires through the start");
        if (e.kind == 3 && std::hypot(e.Left() - sx, e.Top() - sy) < 600 && LineOfSight(s, cx, cy, sx, sy))
            faults.push_back(at + " sees the start");
        if (e.kind == 7) core = &e;
        if (e.Size() == 40) {
            if (e.column < 1 || e.row < 1 || e.column > kColumns - 2 || e.row > kRows - 2) faults.push_back(at + " is on the edge");
            for (int c = e.column - 1; c <= e.column + 1; ++c)
                for (int r = e.row - 1; r <= e.row + 1; ++r)
                    if ((c != e.column || r != e.row) && s.cells[c][r] != 0) faults.push_back(at + " has no room around it");
        }
    }

    // Guards first, without touching the core while it hurts; then the core.
    const Walk guarded(s, sx, sy, core && s.enemies.size() > 1 ? core : nullptr);
    const Walk free(s, sx, sy, nullptr);
    int longest = 0;
    for (const Enemy& e : s.enemies) {
        const int frames = (e.kind == 7 ? free : guarded).FramesToRam(e);
        if (frames < 0)
            faults.push_back("kind " + std::to_string(e.kind) + " at (" + std::to_string(e.column) + "," + std::to_string(e.row) + ") cannot be reached");
        longest = std::max(longest, frames);
    }
    if (longest < kMinClearFrames) faults.push_back("clearable in " + std::to_string(longest) + " frames");
    return faults;
}

TEST(ShippedStages, EveryStageKeepsTheDesignRules)
{
    for (int n = 1; n <= kStages; ++n) {
        const std::vector<std::string> faults = StageFaults(n);
        std::string all;
        for (const std::string& f : faults) all += "\n  " + f;
        EXPECT_TRUE(faults.empty()) << "stage " << n << ":" << all;
    }
}

// The rules themselves, on small stages where one of them is broken.
TEST(ShippedStages, RulesCatchWhatTheyGuard)
{
    Stage walled;
    for (int c = 0; c < kColumns; ++c) walled.cells[c][12] = 33;
    walled.enemies.push_back({4, 15, 3});
    walled.cells[15][3] = 4;
    EXPECT_LT(Walk(walled, 300, 400, nullptr).FramesToRam(walled.enemies[0]), 0) << "a full wall cuts the stage";

    walled.cells[15][12] = walled.cells[16][12] = 0;
    EXPECT_GT(Walk(walled, 300, 400, nullptr).FramesToRam(walled.enemies[0]), 0) << "a two-cell door lets the player through";

    walled.cells[16][12] = 33;
    EXPECT_LT(Walk(walled, 300, 400, nullptr).FramesToRam(walled.enemies[0]), 0) << "a one-cell door is not a passage";

    walled.cells[15][12] = walled.cells[16][12] = 35;
    EXPECT_LT(Walk(walled, 300, 400, nullptr).FramesToRam(walled.enemies[0]), 0) << "cracked blocks bar the way";
    walled.enemies.push_back({13, 15, 8});
    walled.enemies.push_back({13, 16, 8});
    MarkTurretBreaches(walled);
    EXPECT_GT(Walk(walled, 300, 400, nullptr).FramesToRam(walled.enemies[0]), 0) << "unless turrets break them";

    // A corridor three cells wide: the core fills it, the guard waits behind it.
    Stage corridor;
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r)
            if (c < 14 || c > 16) corridor.cells[c][r] = 33;
    corridor.enemies.push_back({7, 15, 10});
    corridor.enemies.push_back({4, 15, 3});
    EXPECT_LT(Walk(corridor, 300, 400, &corridor.enemies[0]).FramesToRam(corridor.enemies[1]), 0)
        << "a guard behind the core is out of reach while the core hurts";
    EXPECT_GT(Walk(corridor, 300, 400, nullptr).FramesToRam(corridor.enemies[1]), 0);
}

TEST(ShippedDataFiles, SettingsBestTimesAndUnlocks)
{
    EXPECT_EQ(ReadFile(DataPath("setting.txt")), "BGM=1\n");

    std::string zeros;
    for (int i = 0; i < 35; ++i) zeros += "0\n";
    EXPECT_EQ(ReadFile(DataPath("date/time.dat")), zeros);

    std::istringstream flags(ReadFile(DataPath("date/flag.dat")));
    std::vector<int> counts;
    for (int v; flags >> v;) counts.push_back(v);
    ASSERT_EQ(counts.size(), 35u);
    EXPECT_EQ(std::count(counts.begin(), counts.begin() + 3, 0), 3) << "a few stages are open from the start";
    for (int i = 0; i < kStages; ++i) {
        EXPECT_GE(counts[i], 0) << "grid cell " << i << " is empty";
        EXPECT_LE(counts[i], i) << "stage " << i + 1 << " needs more clears than stages before it";
        if (i > 0) {
            EXPECT_GE(counts[i], counts[i - 1]) << "unlocks go down at stage " << i + 1;
        }
    }
    for (int i = kStages; i < 35; ++i) EXPECT_EQ(counts[i], -1);
}

}  // namespace
