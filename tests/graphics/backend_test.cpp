// The back-end table's choice: the Direct3D entry while the screen's start
// made a Direct3D object, the 2D entry after a software start, while a full
// screen deactivation has released the object and once the screen ends; and
// a graph's own kind picks the entry that holds it.
#include <gtest/gtest.h>

#include "core/sysstate.h"
#include "graphics/backend.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/graph.h"
#include "platform/window/window.h"
#include "support/library_fixture.h"

namespace {

TEST(GraphicsBackend, TheDirect3DEntryLastsWhileTheDeviceObjectDoes)
{
    ASSERT_EQ(StartDirect3DLibrary(), 0);
    EXPECT_EQ(&CurrentGraphicsBackend(), &Direct3DGraphicsBackend);
    const int texture = CreateGraphOfSize(16, 16, 1, 0, 0);
    const int surface = CreateBlankGraph(16, 16, 1);
    ASSERT_NE(texture, -1);
    ASSERT_NE(surface, -1);
    EXPECT_EQ(&GraphBackend(GetGraphRecord(texture)), &Direct3DGraphicsBackend);
    EXPECT_EQ(&GraphBackend(GetGraphRecord(surface)), &SoftGraphicsBackend);

    // Leaving full screen releases the object; coming back rebuilds the screen with it.
    SimulateFocusChange(SysState.MainWindow, false);
    ASSERT_EQ(IsDirect3DActive(), 0);
    EXPECT_EQ(&CurrentGraphicsBackend(), &SoftGraphicsBackend);
    SimulateFocusChange(SysState.MainWindow, true);
    ASSERT_EQ(IsDirect3DActive(), 1);
    EXPECT_EQ(&CurrentGraphicsBackend(), &Direct3DGraphicsBackend);
    EXPECT_EQ(&GraphBackend(GetGraphRecord(texture)), &Direct3DGraphicsBackend);

    EndDirect3DLibrary();
    EXPECT_EQ(&CurrentGraphicsBackend(), &SoftGraphicsBackend);
}

TEST(GraphicsBackend, ASoftwareStartMakesEveryGraphA2DSurface)
{
    ASSERT_EQ(StartDrawingLibrary(64, 48, 32), 0);
    EXPECT_EQ(&CurrentGraphicsBackend(), &SoftGraphicsBackend);
    const int graph = CreateGraphOfSize(16, 16, 1, 0, 0);  // asks for 3D
    ASSERT_NE(graph, -1);
    EXPECT_EQ(&GraphBackend(GetGraphRecord(graph)), &SoftGraphicsBackend);
    EndDrawingLibrary();
}

} // namespace
