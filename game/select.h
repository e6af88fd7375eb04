// The title and stage-select screen: the 6 x 5 grid of stages with their
// state, the cursor, the best time and block preview of the cursor's stage.
#pragma once

extern int SelectGridTop;
extern int SelectGridRows;
extern int SelectGridColumns;
extern int SelectRow;     // 0 to 4
extern int SelectColumn;  // 1 to 6
extern int SelectDelay;
extern float SelectPulse;

// Number of the 35 best times above 0.
int CountClearedStages();
// Cell states by progress-entry index.
enum StageState { kStageEmpty, kStageLocked, kStagePlayable, kStageCleared };
StageState StageStateAt(int index, int cleared);

void RunSelectFrame();
