// The play scene's frame: music, the update steps in their order, the stage
// timing with its clear and game-over sequences, and the drawing.
#pragma once

void RunPlayFrame();
void UpdateStageTiming();
