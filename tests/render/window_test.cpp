// GL tests of the window shell: the reshape callback's coordinate system in a resized window.
// Reads the view state of `sim` through the figure grid; draws into the test window's back buffer.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/window.h"
#include "core/state.h"
#include "gl_support.h"
#include "render/frame.h"
#include "render/primitives.h"

using namespace gltest;

namespace {

// Extent in pixels of the run of `c` through (x, y) along a row (horizontal) or a column.
int runLength(const Image& img, int x, int y, Rgb c, bool horizontal)
{
    if (!same(img.at(x, y), c)) return 0;
    const int dx = horizontal ? 1 : 0, dy = horizontal ? 0 : 1;
    int lo = 0, hi = 0;
    while (same(img.at(x - (lo + 1) * dx, y - (lo + 1) * dy), c)) ++lo;
    while (same(img.at(x + (hi + 1) * dx, y + (hi + 1) * dy), c)) ++hi;
    return lo + hi + 1;
}

// Columns of the black grid lines crossing a row.
std::vector<int> blackColumns(const Image& img, int y)
{
    std::vector<int> cols;
    for (int x = 0; x < img.w; ++x)
        if (same(img.at(x, y), BLACK) && (cols.empty() || cols.back() != x - 1)) cols.push_back(x);
    return cols;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.xorg = sim.yorg = -0.5;
        sim.zoom = 1.0;
        sim.xshift = sim.yshift = 0.0;
    }
    void TearDown() override { ensureWindow(800, 800); }
};

void drawProbe()
{
    clearFrame();
    drawFigureGrid();
    const double c[2] = {0.5, 0.5};
    drawDisc(c, 0.25, red);
}

TEST_F(WindowTest, SquareWindowHasFourHundredPixelsPerUnit)
{
    ensureWindow(800, 800);
    drawProbe();
    const Image img = readBack();
    ASSERT_EQ(img.w, 800);
    // Disc of radius 0.25 at (0.5, 0.5): 100 px each way.
    EXPECT_NEAR(runLength(img, 600, 600, RED, true), 200, 2);
    EXPECT_NEAR(runLength(img, 600, 600, RED, false), 200, 2);
    // Grid lines 0.1 apart are 40 px apart, the axis at x = −0.5 is column 200.
    const std::vector<int> cols = blackColumns(img, img.rowOf(-0.45));
    ASSERT_GE(cols.size(), 10u);
    EXPECT_NEAR(cols[1] - cols[0], 40, 1);
}

TEST_F(WindowTest, ResizedWindowSqueezesThePicture)
{
    ensureWindow(400, 800);
    ASSERT_EQ(glutGet(GLUT_WINDOW_WIDTH), 400);
    ASSERT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 800);
    drawProbe();
    const Image img = readBack();
    ASSERT_EQ(img.w, 400);
    // The range stays −1 … +1: the disc is half as wide as high.
    EXPECT_NEAR(runLength(img, 300, 600, RED, true), 100, 2);
    EXPECT_NEAR(runLength(img, 300, 600, RED, false), 200, 2);
    // Grid columns 20 px apart, the vertical axis at x = −0.5 now at column 100, 2 px wide.
    const int y = img.rowOf(-0.45);
    const std::vector<int> cols = blackColumns(img, y);
    ASSERT_GE(cols.size(), 10u);
    EXPECT_NEAR(cols[1] - cols[0], 20, 1);
    bool axis = false;
    for (int x : cols)
        if (std::abs(x - 99) <= 1) {
            axis = true;
            EXPECT_EQ(runLength(img, x, y, BLACK, true), 2);
        }
    EXPECT_TRUE(axis);
    // Rows keep their spacing of 40 px.
    int rows = 0;
    for (int yy = 0; yy < img.h; ++yy)
        if (same(img.at(img.colOf(-0.45), yy), BLACK) && !same(img.at(img.colOf(-0.45), yy - 1), BLACK)) ++rows;
    EXPECT_EQ(rows, 20);
}

#if defined(__GLIBC__)
// The renderer frees some 20 MB of scratch memory after every frame; with the
// window's allocator setting that memory stays with the process for the next
// frame instead of being returned and faulted in again.
TEST(RendererMemory, FreedScratchMemoryStaysForTheNextFrame)
{
    keepRendererMemory();
    constexpr int BLOCKS = 384;          // 24 MB in blocks the size the renderer uses
    constexpr size_t BLOCK = 64 * 1024;  // below the size that gets its own mapping
    void* blocks[BLOCKS];
    for (int i = 0; i < BLOCKS; ++i) {
        blocks[i] = std::malloc(BLOCK);
        ASSERT_NE(blocks[i], nullptr);
        std::memset(blocks[i], 1, BLOCK);
    }
    const size_t heldBefore = mallinfo2().arena;
    for (int i = BLOCKS - 1; i >= 0; --i) std::free(blocks[i]);
    const struct mallinfo2 after = mallinfo2();
    EXPECT_GE(after.arena + BLOCK, heldBefore);  // nothing handed back
    EXPECT_GE(after.fordblks, BLOCKS * BLOCK * 9 / 10);
}
#endif

}  // namespace
