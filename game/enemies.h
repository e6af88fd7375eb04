// Enemies: the kind table, spawning at a point, and the per-frame update of
// sight, fire timers and each kind's firing pattern.
#pragma once

void SpawnEnemy(int x, int y, int kind);
void UpdateEnemies();
