// Owns the stage reader and the stage start over Tiles, StageCells, Player
// and the play tables (game/objects); spawns enemies through game/enemies.
#include "game/stage.h"

#include "game/datafiles.h"
#include "game/enemies.h"
#include "game/objects.h"
#include "game/winmain.h"

#include <cctype>
#include <fstream>
#include <string>

namespace {

// atoi, without its overflow: the sign and leading digits, clamped.
int CellNumber(const std::string& text)
{
    const char* p = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    int value = 0;
    return ReadClampedNumber(&p, &value) ? value : 0;
}

void ApplyCell(int column, int row, int value)
{
    StageCells[column * kGridSize + row] = value;
    if (value >= kEnemyFan && value <= kEnemyLastKind) {
        SpawnEnemy(20 * column + 10, 20 * row + 10, value);
    } else if (value == 32) {
        Player.X = static_cast<float>(20 * column);
        Player.Y = static_cast<float>(20 * row);
    } else if (value >= 33 && value <= 35) {
        Tiles[column * kGridSize + row] = value - 32;
    }
}

} // namespace

std::istream& ReadCsvCell(std::istream& in, int* value)
{
    *value = 0;
    int ch = in.get();
    while (ch != EOF && ch != '\n' && std::isspace(ch)) ch = in.get();
    if (ch == EOF) return in;
    std::string text;
    if (ch == '\n')
        in.putback('\n');
    else
        text += static_cast<char>(ch);
    for (ch = in.get(); ch != ',' && ch != '\n' && ch != EOF; ch = in.get()) text += static_cast<char>(ch);
    *value = CellNumber(text);
    if (ch == '\n') in.putback('\n');
    return in;
}

void LoadStageFromStream(std::istream& in)
{
    for (int& t : Tiles) t = 0;
    for (int row = 0; row < kGridSize; ++row) {
        for (int column = 0; column < kGridSize; ++column) {
            int value = 0;
            ReadCsvCell(in, &value);
            ApplyCell(column, row, value);
        }
        for (int ch = in.get(); ch != '\n' && ch != EOF; ch = in.get()) {
        }
    }
}

void LoadStageFile()
{
    std::ifstream in;
    if (CurrentStage >= 1 && CurrentStage <= 30) in.open("date/stage/" + std::to_string(CurrentStage) + ".csv");
    LoadStageFromStream(in);
}

void StartStage()
{
    Player.X = 320.0f;
    Player.Y = 240.0f;
    GameOverFrames = 0;
    CoreReleased = 0;
    PlayerLife = 0;
    PlayerSpeed = 3;
    StageSeconds = 0;
    BarrierCharges = 10;
    BarrierMode = 0;
    ModeSwitchCounter = 0;
    Player.HitWidth = Player.HitHeight = 6;
    for (GAMEOBJ& s : Shots) s.Life = 0;
    for (GAMEOBJ& e : Effects) e.Kind = 0;
    for (GAMEOBJ& e : Enemies) {
        e.Life = e.Height = e.Width = e.Kind = e.FireTimer = e.Distance = e.TouchHurts = e.LaserFrames = e.Sighted =
            0;
    }
    for (GAMEOBJ& c : SpawnCircles) c.Life = 0;
    LoadStageFile();
}
