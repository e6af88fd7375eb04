// One frame of the play screen, back to front; it also ages what lives only
// while play is drawn (effects, spawn circles, floating texts, pulses).
#pragma once

extern float PlayPulse;
extern float BarrierPulse;

float DegToRad(int degrees);
void DrawPlayScreen();
void UpdateFloatingTexts();
