// GL tests of the batched drawing: a run of trace discs and a run of thick
// segments in changing colours must leave exactly the pixels that one
// drawPathDisc or drawThickLine per element leaves, byte for byte.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "core/console.h"
#include "core/state.h"
#include "gl_support.h"
#include "render/primitives.h"

using namespace gltest;

namespace {

constexpr double TRACE = 0.008;   // red trace disc radius at zoom 1 [window units]
constexpr double NORMAL = 0.002;  // white trace disc radius at zoom 1

// The panel the playback frame paints over the right part of the window.
const double PANEL[4] = {0.35, -1.0, 1.35, 1.0};

struct Scene {
    std::vector<double> xy;  // path points (x, y) [m], stride 2
    double zoom = 1.0;
    double xshift = 0.0, yshift = 0.0;
    double r = TRACE;  // at zoom 1
    const float* colour = red;
    const double* cover = nullptr;  // painted white after the discs
};

int differingPixels(const Image& a, const Image& b, int* firstX, int* firstY)
{
    int n = 0;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x)
            if (!same(a.at(x, y), b.at(x, y))) {
                if (n == 0) {
                    *firstX = x;
                    *firstY = y;
                }
                ++n;
            }
    return n;
}

void applyView(const Scene& s)
{
    sim.zoom = s.zoom;
    sim.xshift = s.xshift;
    sim.yshift = s.yshift;
}

void paintCover(const Scene& s)
{
    if (s.cover == nullptr) return;
    const double corner[2] = {s.cover[0], s.cover[1]};
    fillRect(corner, s.cover[2] - s.cover[0], s.cover[3] - s.cover[1], 0.0, white);
}

// A grey background with a few lines, so that a disc left out or drawn in the
// wrong place shows against more than white.
void background()
{
    clearFrame();
    glLineWidth(1.0f);  // the same for both pictures, whatever the last drawing left
    const double corner[2] = {-0.9, -0.9};
    fillRect(corner, 1.8, 1.8, 0.0, textColour);
    for (int i = -4; i <= 4; ++i) {
        const double a[2] = {i * 0.2, -1.0}, b[2] = {i * 0.2 + 0.1, 1.0};
        drawLine(a, b, green);
    }
}

Image referencePicture(const Scene& s)
{
    applyView(s);
    background();
    const int n = static_cast<int>(s.xy.size() / 2);
    for (int j = 0; j < n; ++j) drawPathDisc(&s.xy[2 * j], s.r * s.zoom, s.colour);
    paintCover(s);
    return readBack();
}

Image runPicture(const Scene& s)
{
    applyView(s);
    background();
    drawPathDiscRun(s.xy.data(), 2, static_cast<int>(s.xy.size() / 2), s.r * s.zoom, s.colour, s.cover);
    paintCover(s);
    return readBack();
}

// Both pictures, compared; the reference must show some of the discs.
void expectSamePicture(const Scene& s, const char* what)
{
    const Image ref = referencePicture(s);
    const Image run = runPicture(s);
    ASSERT_EQ(ref.w, run.w);
    const Rgb colour{static_cast<int>(s.colour[0] * 255), static_cast<int>(s.colour[1] * 255),
                     static_cast<int>(s.colour[2] * 255)};
    int x = 0, y = 0;
    const int differ = differingPixels(ref, run, &x, &y);
    EXPECT_EQ(differ, 0) << what << " zoom " << s.zoom << ": " << differ << " pixels differ, first at (" << x << ","
                         << y << ")";
    // Discs of half a pixel and more light pixels wherever they are.
    if (s.r * s.zoom * 400.0 >= 0.5) {
        EXPECT_GT(ref.count(colour), 0) << what << " zoom " << s.zoom << ": no disc on screen";
    }
}

class DiscRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static FILE* devnull = std::fopen("/dev/null", "w");
        conSetStreams(devnull, nullptr);
        sim = SimState{};
        initDefaults();
        ensureWindow();
        clearFrame();
    }
    void TearDown() override { ensureWindow(); }
};

// A motion that starts and ends at rest along a bent line: slow ends crowd
// the discs, the middle spreads them.
std::vector<double> restToRest(int n, double length, double bend)
{
    std::vector<double> xy;
    for (int j = 0; j < n; ++j) {
        const double u = static_cast<double>(j) / (n - 1);
        const double s = u * u * (3.0 - 2.0 * u) * length;
        xy.push_back(s);
        xy.push_back(bend * std::sin(3.0 * s));
    }
    return xy;
}

// A random walk with steps from nothing to a few pixels, and repeated points,
// from a random start in the left part of the window (no pan).
std::vector<double> randomWalk(std::mt19937& rng, int n, double stepPx, double zoom)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> xy;
    double x = (-0.5 + 0.6 * u(rng)) / zoom - sim.xorg, y = (-0.5 + 0.6 * u(rng)) / zoom - sim.yorg;
    for (int j = 0; j < n; ++j) {
        const double a = 6.283185307179586 * u(rng);
        const double step = u(rng) < 0.2 ? 0.0 : stepPx * u(rng) / 400.0 / zoom;
        x += step * std::cos(a);
        y += step * std::sin(a);
        xy.push_back(x);
        xy.push_back(y);
    }
    return xy;
}

TEST_F(DiscRunTest, CrowdedAndSpreadTracesAtEveryZoom)
{
    const double zooms[] = {0.03, 0.06, 0.12, 0.35, 1.0, 1.7, 3.5, 8.0};
    for (double zoom : zooms) {
        Scene s;
        s.zoom = zoom;
        s.xy = restToRest(2001, 1.2 / zoom, 0.3 / zoom);
        // Path origin panned to the window point (-0.8, 0): the trace spans x -0.8 to 0.4.
        s.xshift = 0.5 * zoom - 0.8;
        s.yshift = 0.5 * zoom;
        s.r = TRACE;
        s.colour = red;
        expectSamePicture(s, "red trace");
        s.r = NORMAL;
        s.colour = blue;  // the white trace's radius, in a colour that shows
        expectSamePicture(s, "small trace");
    }
}

TEST_F(DiscRunTest, RandomWalksWithRepeatedPoints)
{
    std::mt19937 rng(15);
    const double zooms[] = {0.05, 0.25, 1.0, 2.0, 5.0};
    for (double zoom : zooms) {
        for (double stepPx : {0.3, 1.0, 4.0}) {
            Scene s;
            s.zoom = zoom;
            s.xy = randomWalk(rng, 1500, stepPx, zoom);
            s.r = TRACE;
            expectSamePicture(s, "walk, trace radius");
            s.r = NORMAL;
            s.colour = black;
            expectSamePicture(s, "walk, small radius");
        }
    }
}

// Centres placed so that pixel centres lie on or next to the disc's rim, the
// inscribed polygon's edges and the margin band: where only the polygon decides.
TEST_F(DiscRunTest, PixelCentresOnTheRim)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (double zoom : {0.1, 0.4, 1.0, 2.5}) {
        const double rpx = TRACE * zoom * 400.0;
        Scene s;
        s.zoom = zoom;
        for (int j = 0; j < 2000; ++j) {
            // A pixel centre at distance d from the disc centre, d on or near the rim.
            const double d = rpx * (u(rng) < 0.5 ? 1.0 : std::cos(3.14159265358979 / 120.0)) +
                             (u(rng) - 0.5) * (j % 3 == 0 ? 1e-6 : 0.02);
            const double a = 6.283185307179586 * u(rng);
            const int ix = 100 + static_cast<int>(u(rng) * 150), iy = 100 + static_cast<int>(u(rng) * 600);
            const double cx = ix + 0.5 + d * std::cos(a), cy = iy + 0.5 + d * std::sin(a);
            // Window units to path metres: (x - xorg zoom - xshift) / zoom.
            s.xy.push_back((cx / 400.0 - 1.0) / zoom - sim.xorg);
            s.xy.push_back((cy / 400.0 - 1.0) / zoom - sim.yorg);
        }
        expectSamePicture(s, "rim");
    }
}

TEST_F(DiscRunTest, DiscsUnderThePanelAndAtTheEdges)
{
    Scene s;
    s.zoom = 1.0;
    // Across the panel's left edge, and out of the window on every side.
    for (int j = 0; j < 1200; ++j) {
        const double u = j / 1199.0;
        s.xy.push_back(-0.8 + 2.6 * u);
        s.xy.push_back(-0.6 + 2.2 * std::fabs(std::sin(9.0 * u)));
    }
    s.cover = PANEL;
    expectSamePicture(s, "panel");
    const double inner[4] = {-0.3, -0.2, 0.1, 0.5};
    s.cover = inner;
    expectSamePicture(s, "inner rectangle");
    s.cover = nullptr;
    s.zoom = 3.0;
    expectSamePicture(s, "edges");
}

TEST_F(DiscRunTest, PointsThatAreNotFinite)
{
    Scene s;
    s.xy = restToRest(200, 1.0, 0.2);
    const double inf = std::numeric_limits<double>::infinity();
    s.xy[20] = inf;
    s.xy[41] = -inf;
    s.xy[60] = std::numeric_limits<double>::quiet_NaN();
    s.xy[91] = 1e300;
    expectSamePicture(s, "not finite");
}

TEST_F(DiscRunTest, NonSquareWindowAndMovedOrigin)
{
    ensureWindow(800, 560);
    Scene s;
    s.xy = restToRest(1500, 1.1, 0.3);
    expectSamePicture(s, "800 x 560");
    ensureWindow();
    // Under a modelview the run does not own, it draws disc by disc.
    glPushMatrix();
    glTranslated(0.013, -0.021, 0.0);
    expectSamePicture(s, "moved origin");
    glPopMatrix();
}

// With blending on (the program never blends) every disc counts, also where it
// only repeats what the run has lit: the run draws disc by disc.
TEST_F(DiscRunTest, BlendingDrawsEveryDisc)
{
    Scene s;
    s.xy = restToRest(600, 1.0, 0.2);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);  // each disc turns what lies under it
    const Image ref = referencePicture(s);
    const Image run = runPicture(s);
    glDisable(GL_BLEND);
    int x = 0, y = 0;
    EXPECT_EQ(differingPixels(ref, run, &x, &y), 0) << "first at (" << x << "," << y << ")";
    // The background, blended over the white clear, turns black; red turned
    // once over it stays red, turned twice black again.
    EXPECT_GT(ref.count(RED), 0);
}

TEST_F(DiscRunTest, ThickSegmentsInChangingColoursAsSeparateLines)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-0.9, 0.9);
    for (double width : {0.002, 0.005, 0.02}) {
        std::vector<double> pts;
        for (int i = 0; i < 800; ++i) pts.push_back(u(rng));
        const float* colours[3] = {red, black, blue};

        background();
        for (int i = 0; i + 3 < static_cast<int>(pts.size()); i += 4)
            drawThickLine(&pts[i], &pts[i + 2], width, colours[(i / 4) % 3]);
        const Image ref = readBack();

        background();
        beginThickLines(width, red);
        for (int i = 0; i + 3 < static_cast<int>(pts.size()); i += 4) {
            thickLineColour(colours[(i / 4) % 3]);
            thickLineSegment(&pts[i], &pts[i + 2]);
        }
        endThickLines();
        const Image run = readBack();

        int x = 0, y = 0;
        const int differ = differingPixels(ref, run, &x, &y);
        EXPECT_EQ(differ, 0) << "width " << width << ": first at (" << x << "," << y << ")";
        EXPECT_GT(ref.count(BLUE), 0);
        // The line width and lighting afterwards are those drawThickLine leaves.
        GLfloat lw = 0.0f;
        glGetFloatv(GL_LINE_WIDTH, &lw);
        EXPECT_EQ(lw, LINE_WIDTH_AFTER_THICK);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    }
}

}  // namespace
