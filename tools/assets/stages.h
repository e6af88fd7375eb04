// The stage maps and the game's small text files (settings, best times,
// unlock counts); stages.cpp writes them, stage_maps.cpp holds the maps.
#pragma once

constexpr int kStageCount = 30;
constexpr int kStageColumns = 32;
constexpr int kStageRows = 24;

extern const char* const kStageMaps[kStageCount];
