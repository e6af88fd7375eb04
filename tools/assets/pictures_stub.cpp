#include "tools/assets/asset_file.h"
AssetFiles MakePictureFiles() { return {}; }
AssetFiles MakeSoundFiles() { return {}; }
