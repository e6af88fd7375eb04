// The asset generator's entry: writes the game's stages, text files,
// pictures and sounds under the folder it is given (the repository's data/).
// Everything is computed from fixed numbers, so every run writes the same bytes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/assets/asset_file.h"

namespace {

bool WriteAll(const std::filesystem::path& root, const AssetFiles& files)
{
    for (const AssetFile& file : files) {
        const std::filesystem::path path = root / file.path;
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER [stages|pictures|sounds]...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    auto wanted = [&](const char* group) {
        if (argc == 2) return true;
        for (int i = 2; i < argc; ++i)
            if (std::string(argv[i]) == group) return true;
        return false;
    };
    bool ok = true;
    if (wanted("stages")) ok = WriteAll(root, MakeStageFiles()) && ok;
    if (wanted("pictures")) ok = WriteAll(root, MakePictureFiles()) && ok;
    if (wanted("sounds")) ok = WriteAll(root, MakeSoundFiles()) && ok;
    return ok ? 0 : 1;
}
