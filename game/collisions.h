// What shots hit (the player, blocks) and what the player's touch does to
// enemies; two box tests on centred hit boxes.
#pragma once

#include "game/objects.h"

int ObjectsOverlap(const GAMEOBJ& a, const GAMEOBJ& b);
int IntBoxesOverlap(int x1, int y1, int x2, int y2, int w1, int h1, int w2, int h2, int hw1, int hh1, int hw2,
                    int hh2);
void ResolveCollisions();
