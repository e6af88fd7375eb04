// Test entry: every test process runs headless, in a folder of its own, so
// the library's "Log.txt" and the files a test writes never meet another's.
#include <gtest/gtest.h>

#include "core/api.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    std::string tmpl = (std::filesystem::temp_directory_path() / "zarvo-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr && chdir(tmpl.c_str()) == 0) {
        setenv("ZARVO_TEST_DIR", tmpl.c_str(), 1);
        // The single-instance lock of the library's window lives here too, so
        // test processes running side by side never see each other's window.
        setenv("ZARVO_INSTANCE_DIR", tmpl.c_str(), 1);
    }

    // The library starts on Direct3D by default; tests draw through the
    // software renderer unless they start Direct3D themselves.
    SelectDirect3D(0);

    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();

    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
    return rc;
}
