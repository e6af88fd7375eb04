// Stage files ("date/stage/N.csv", 100 x 100 comma-separated cells) and the
// stage start that resets the play state before loading one.
#pragma once

#include <istream>

// One cell into *value (0 when empty or missing); a line feed that ends the
// cell stays in the stream.
std::istream& ReadCsvCell(std::istream& in, int* value);
// Loads the file of CurrentStage into the grids, places the player, spawns
// the enemies; a missing file gives an empty stage.
void LoadStageFile();
// Reads a stage from an open stream, as LoadStageFile does from its file.
void LoadStageFromStream(std::istream& in);
void StartStage();
