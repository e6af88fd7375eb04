// One generated file: its path under data/ and its exact bytes. Every maker
// of the generator answers a list of these; make_assets.cpp writes them.
#pragma once

#include <string>
#include <vector>

struct AssetFile {
    std::string path;
    std::string bytes;
};

using AssetFiles = std::vector<AssetFile>;

AssetFiles MakeStageFiles();
AssetFiles MakePictureFiles();
AssetFiles MakeSoundFiles();
