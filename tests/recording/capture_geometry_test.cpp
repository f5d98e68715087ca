#include "recording/capture_geometry.h"

#include <gtest/gtest.h>

#include <string>

namespace skorva {
namespace {

TEST(CaptureGeometry, SizeClassAndGrabRectangleFollowTheOuterRectangle) {
    struct Case {
        const char* what;
        Rect outer;
        std::string_view caption;
        GrabRect grab;
    };
    const Case cases[] = {
        {"a large viewer", {100, 100, 500, 450}, "Large", {125, 150, 350, 180}},
        {"250 wide is still small", {10, 20, 260, 400}, "Small", {35, 64, 200, 216}},
        {"251 wide is large", {10, 20, 261, 400}, "Large", {35, 70, 201, 210}},
        {"the failed query's 0, 0, 0, 0", {0, 0, 0, 0}, "Small", {25, 44, -50, -164}},
        {"a window partly off the top left", {-5, -5, 29995, 29995}, "Large", {20, 45, 29950, 29830}},
        {"the smallest large window whose grab has pixels", {0, 0, 251, 171}, "Large", {25, 50, 201, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SizeClass sizeClass = sizeClassOf(c.outer);
        EXPECT_EQ(sizeClass.caption, c.caption);
        // The class alone decides the top inset and the height taken off: 120 at the bottom in both.
        EXPECT_EQ(sizeClass.topInset, c.caption == "Small" ? 44 : 50);
        EXPECT_EQ(sizeClass.heightReduction - sizeClass.topInset, 120);
        EXPECT_EQ(grabRectOf(c.outer, sizeClass), c.grab);
    }
}

}  // namespace
}  // namespace skorva
