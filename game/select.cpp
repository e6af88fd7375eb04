// Owns the select screen's cursor and layout values; reads the progress
// (game/datafiles), loads and starts stages (game/stage) and draws through
// the public entries (core/api).
#include "game/select.h"

#include "core/api.h"
#include "game/datafiles.h"
#include "game/objects.h"
#include "game/player.h"
#include "game/resources.h"
#include "game/stage.h"
#include "game/winmain.h"

#include <cmath>

int SelectGridTop = 20;
int SelectGridRows = 5;
int SelectGridColumns = 6;
int SelectRow = 0;
int SelectColumn = 1;
int SelectDelay = 0;
float SelectPulse = 0.0f;

int CountClearedStages()
{
    int k = 0;
    for (int t : BestTimes)
        if (t > 0) ++k;
    return k;
}

StageState StageStateAt(int index, int cleared)
{
    if (UnlockCounts[index] == -1) return kStageEmpty;
    if (UnlockCounts[index] > cleared) return kStageLocked;
    return BestTimes[index] == 0 ? kStagePlayable : kStageCleared;
}

namespace {

bool CellIsEmpty(int row, int column1)
{
    return UnlockCounts[row * 6 + column1 - 1] == -1;
}

bool MoveCursor()
{
    bool moved = false;
    if ((PadInput & kPadDown) && SelectRow < 4 && !CellIsEmpty(SelectRow + 1, SelectColumn)) {
        SelectRow += 1;
        moved = true;
    }
    if ((PadInput & kPadUp) && SelectRow > 0) {
        SelectRow -= 1;
        moved = true;
    }
    if ((PadInput & kPadRight) && SelectColumn < 6 && !CellIsEmpty(SelectRow, SelectColumn + 1)) {
        SelectColumn += 1;
        moved = true;
    }
    if ((PadInput & kPadLeft) && SelectColumn > 1) {
        SelectColumn -= 1;
        moved = true;
    }
    return moved;
}

} // namespace

void RunSelectFrame()
{
    const int t = SelectGridTop;
    SelectPulse += 0.1f;
    SelectDelay += 1;
    DrawGraphAt(0, 0, GameImages.title, 0);
    BgmPlaying = 0;
    HaltSound(LoopSound);

    if (SelectDelay > 10 && MoveCursor()) {
        SelectDelay = 0;
        CurrentStage = SelectRow * 6 + SelectColumn;
        PlayGameSound(kSndSelect);
        LoadStageFile();
    }

    const ColorValue red = GetColorValue(255, 0, 0);
    const ColorValue black = GetColorValue(0, 0, 0);
    for (int i = 0; i < 40; ++i) {
        const int y = t + 65 * (SelectRow + 1) + GetRandomNumber(65);
        DrawLineSegment(65 * SelectColumn - 15, y, 65 * SelectColumn + 50, y, red, 1);
    }

    const int k = CountClearedStages();
    for (int c = 0; c < SelectGridColumns; ++c)
        for (int r = 0; r < SelectGridRows; ++r) {
            const StageState state = StageStateAt(r * 6 + c, k);
            const int picture = state == kStageLocked     ? GameImages.hosi2
                                : state == kStagePlayable ? GameImages.hosi1
                                                          : GameImages.hosi3;
            if (state != kStageEmpty) DrawGraphAt(50 + 65 * c, t + 65 + 65 * r, picture, 1);
        }

    if (k >= 26) {
        int total = 0;
        for (int i = 0; i < 26; ++i)
            if (BestTimes[i] > 0) total += BestTimes[i];
        DrawFormattedText(450, t + 300, black, "合計%d sec", total);
    }
    const int stage = SelectRow * 6 + SelectColumn;
    const int index = stage - 1;
    DrawFormattedText(450, t + 65, black, "Stage%d", stage);
    const bool locked = UnlockCounts[index] > k;
    if (locked) {
        DrawFormattedText(450, t + 95, red, "未出現");
    } else {
        if (BestTimes[index] == 0)
            DrawFormattedText(450, t + 95, red, "未クリア");
        else
            DrawFormattedText(450, t + 95, black, "Best:%dsec", BestTimes[index]);
        for (int c = 0; c < kGridSize; ++c)
            for (int r = 0; r < kGridSize; ++r) {
                const int v = Tiles[c * kGridSize + r];
                if (v >= 1 && v <= 3) DrawGraphAt(450 + 5 * c, t + 120 + 5 * r, GameImages.minibrock, 0);
            }
    }

    SelectBlendMode(BLEND_ALPHA, static_cast<int>(std::sin(SelectPulse) * 100 + 200));
    DrawGraphAt(65 * SelectColumn - 15, t + 65 * (SelectRow + 1), GameImages.waku, 1);
    SelectBlendMode(BLEND_NONE, 0);

    if (locked) {
        if ((PadInput & kPadZ) && SelectDelay > 10) {
            PlayGameSound(kSndBatu);
            SelectDelay = 0;
        }
    } else if (PadInput & kPadZ) {
        CurrentStage = stage;
        StartStage();
        PlayGameSound(kSndSelect2);
        ProgramMode = kModePlay;
    }
}
