// Turns the drawn stage maps into the game's CSV grids and writes the
// settings, best-times and unlock files beside them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/assets/asset_file.h"
#include "tools/assets/stages.h"

namespace {

int CellValue(char letter, int stage, int row)
{
    switch (letter) {
    case '.': return 0;
    case '@': return 32;
    case '#': return 33;
    case '+': return 34;
    case '%': return 35;
    case '<': return 10;
    case '>': return 11;
    case '^': return 12;
    case 'v': return 13;
    default:
        if (letter >= '1' && letter <= '9') return letter - '0';
    }
    std::fprintf(stderr, "stage %d, row %d: unknown map letter '%c'\n", stage, row, letter);
    std::exit(1);
}

std::string StageCsv(int stage)
{
    const std::string map = kStageMaps[stage - 1];
    std::string csv;
    int row = 0;
    size_t start = 0;
    while (start <= map.size()) {
        size_t end = map.find('\n', start);
        if (end == std::string::npos) end = map.size();
        const std::string line = map.substr(start, end - start);
        if (line.size() != kStageColumns) {
            std::fprintf(stderr, "stage %d, row %d: %zu cells, not %d\n", stage, row, line.size(), kStageColumns);
            std::exit(1);
        }
        for (int c = 0; c < kStageColumns; ++c) {
            if (c > 0) csv += ',';
            csv += std::to_string(CellValue(line[c], stage, row));
        }
        csv += '\n';
        ++row;
        start = end + 1;
    }
    if (row != kStageRows) {
        std::fprintf(stderr, "stage %d: %d rows, not %d\n", stage, row, kStageRows);
        std::exit(1);
    }
    return csv;
}

}  // namespace

AssetFiles MakeStageFiles()
{
    AssetFiles files;
    files.push_back({"setting.txt", "BGM=1\n"});

    std::string times;
    for (int i = 0; i < 35; ++i) times += "0\n";
    files.push_back({"date/time.dat", times});

    // Three stages open from the start, then one more per clear: a player
    // may leave up to two stages behind. The five cells past the grid are empty.
    std::string unlocks;
    for (int i = 0; i < 35; ++i) {
        const int count = i >= kStageCount ? -1 : (i < 3 ? 0 : i - 2);
        unlocks += std::to_string(count) + "\n";
    }
    files.push_back({"date/flag.dat", unlocks});

    for (int stage = 1; stage <= kStageCount; ++stage)
        files.push_back({"date/stage/" + std::to_string(stage) + ".csv", StageCsv(stage)});
    return files;
}
