// The drawing primitives of the browser edition: the picture is rasterised into an 800 x 800
// RGBA buffer by the rules of the window program's OpenGL renderer (a pixel is lit when its
// centre lies inside the shape; wide lines are parallelograms of the line width across their
// minor axis; no antialiasing), then put on the page's Canvas 2D context at presentFrame.
// Reads the view state of `sim` (drawPathDisc only); owns the colour and line-width state.
#include "render/primitives.h"

#include <cmath>
#include <cstring>

#include "core/state.h"
#include "render/view.h"
#include "web/font_metrics.h"
#include "web/page.h"

namespace {

constexpr int SIZE = 800;                      // [px], both ways
constexpr double RAD_PER_DEG = 0.01745329252;  // the window program rotates in degrees
constexpr double SUBPIXEL = 256.0;             // vertices are snapped to 1/256 px
constexpr int POLY_CAP = 8;                    // vertices of the largest general polygon
constexpr int TEXT_CAP = 256;                  // characters of one text

unsigned char pixels[SIZE * SIZE * 4];
float lineWidth = 1.0f;  // [px], as OpenGL starts
unsigned char rgb[3];     // current colour

void setColour(const float c[4])
{
    for (int i = 0; i < 3; ++i) {
        const float v = c[i] < 0.0f ? 0.0f : (c[i] > 1.0f ? 1.0f : c[i]);
        rgb[i] = static_cast<unsigned char>(std::lround(v * 255.0f));
    }
}

double snap(double v) { return std::nearbyint(v * SUBPIXEL) / SUBPIXEL; }

// Window units to pixels; y counts upwards from the bottom edge as in OpenGL.
double toPixelX(double x) { return snap((x + 1.0) * SIZE / 2.0); }
double toPixelY(double y) { return snap((y + 1.0) * SIZE / 2.0); }

// First pixel whose centre is at or beyond v (the range is half-open: [lo, hi)).
int firstCentre(double v) { return static_cast<int>(std::ceil(v - 0.5)); }

// Pixels of row j (from the bottom) whose centres lie in [xl, xr).
void span(int j, double xl, double xr)
{
    if (j < 0 || j >= SIZE || !(xr > xl)) return;
    int a = firstCentre(xl);
    int b = firstCentre(xr) - 1;
    if (a < 0) a = 0;
    if (b > SIZE - 1) b = SIZE - 1;
    unsigned char* p = pixels + (static_cast<long>(SIZE - 1 - j) * SIZE + a) * 4;
    for (int i = a; i <= b; ++i, p += 4) {
        p[0] = rgb[0];
        p[1] = rgb[1];
        p[2] = rgb[2];
    }
}

// Plain comparisons: std::fmin and std::fmax are library calls in WebAssembly,
// and the coordinates here are finite (checked before use).
double lesser(double a, double b) { return a < b ? a : b; }
double greater(double a, double b) { return a > b ? a : b; }

// A convex polygon of n vertices in pixels: every row's span between its edges.
void fillConvex(const double (*v)[2], int n)
{
    if (n < 3) return;
    double ylo = v[0][1], yhi = v[0][1];
    for (int k = 1; k < n; ++k) {
        ylo = lesser(ylo, v[k][1]);
        yhi = greater(yhi, v[k][1]);
    }
    if (!std::isfinite(ylo) || !std::isfinite(yhi)) return;
    int j0 = firstCentre(ylo), j1 = firstCentre(yhi) - 1;
    if (j0 < 0) j0 = 0;
    if (j1 > SIZE - 1) j1 = SIZE - 1;
    for (int j = j0; j <= j1; ++j) {
        const double yc = j + 0.5;
        double xl = INFINITY, xr = -INFINITY;
        for (int k = 0; k < n; ++k) {
            const double* a = v[k];
            const double* b = v[(k + 1) % n];
            const double lo = lesser(a[1], b[1]), hi = greater(a[1], b[1]);
            if (!(yc >= lo && yc < hi)) continue;
            const double x = a[0] + (b[0] - a[0]) * (yc - a[1]) / (b[1] - a[1]);
            xl = lesser(xl, x);
            xr = greater(xr, x);
        }
        span(j, xl, xr);
    }
}

// A line of the current width between two points in pixels: a parallelogram
// that reaches half the width to either side across the minor axis, and along
// the major axis the pixel centres from the first point up to the second. The
// width is rounded to whole pixels, as for lines without antialiasing.
void rasterLine(const double p[2], const double q[2])
{
    const double w = std::nearbyint(lineWidth);
    const double h = 0.5 * (w < 1.0 ? 1.0 : w);
    const double dx = q[0] - p[0], dy = q[1] - p[1];
    if (dx == 0.0 && dy == 0.0) return;
    double v[4][2];
    if (std::fabs(dx) >= std::fabs(dy)) {
        v[0][0] = p[0], v[0][1] = p[1] - h;
        v[1][0] = q[0], v[1][1] = q[1] - h;
        v[2][0] = q[0], v[2][1] = q[1] + h;
        v[3][0] = p[0], v[3][1] = p[1] + h;
    } else {
        v[0][0] = p[0] - h, v[0][1] = p[1];
        v[1][0] = q[0] - h, v[1][1] = q[1];
        v[2][0] = q[0] + h, v[2][1] = q[1];
        v[3][0] = p[0] + h, v[3][1] = p[1];
    }
    fillConvex(v, 4);
}

void lineInWindowUnits(const double a[2], const double b[2])
{
    const double p[2] = {toPixelX(a[0]), toPixelY(a[1])};
    const double q[2] = {toPixelX(b[0]), toPixelY(b[1])};
    rasterLine(p, q);
}

// Vertices v (own frame, window units) moved by `at` and turned by `angle` [rad],
// in pixels; the rotation goes through degrees as in the window program.
void placeVertices(const double (*v)[2], int n, const double at[2], double angle, double (*out)[2])
{
    const double deg = angle / RAD_PER_DEG;
    const double c = std::cos(deg * PI / 180.0), s = std::sin(deg * PI / 180.0);
    for (int k = 0; k < n; ++k) {
        out[k][0] = toPixelX(at[0] + c * v[k][0] - s * v[k][1]);
        out[k][1] = toPixelY(at[1] + s * v[k][0] + c * v[k][1]);
    }
}

void fillPlaced(const double (*v)[2], int n, const double at[2], double angle)
{
    double px[POLY_CAP][2];
    if (n > POLY_CAP) n = POLY_CAP;
    placeVertices(v, n, at, angle, px);
    fillConvex(px, n);
}

// The disc polygon about (cx, cy) with radius r [px]. Row by row its right edge
// is found from the arc sine of the row's height (the polygon is symmetric about
// its vertical axis, so the left edge mirrors it).
void rasterDisc(double cx, double cy, double r)
{
    if (!(r > 0.0) || !std::isfinite(cx) || !std::isfinite(cy)) return;
    if (cx + r < 0.0 || cx - r > SIZE || cy + r < 0.0 || cy - r > SIZE) return;
    const double (*circle)[2] = unitCircle();
    const double step = 2.0 * PI / DISC_VERTICES;
    int j0 = firstCentre(cy - r), j1 = firstCentre(cy + r) - 1;
    if (j0 < 0) j0 = 0;
    if (j1 > SIZE - 1) j1 = SIZE - 1;
    for (int j = j0; j <= j1; ++j) {
        const double dy = (j + 0.5 - cy) / r;  // within [-1, 1)
        int k = static_cast<int>(std::floor(std::asin(dy < -1.0 ? -1.0 : dy) / step));
        if (k < -DISC_VERTICES / 4) k = -DISC_VERTICES / 4;
        if (k > DISC_VERTICES / 4 - 1) k = DISC_VERTICES / 4 - 1;
        const double* a = circle[(k + DISC_VERTICES) % DISC_VERTICES];
        const double* b = circle[(k + 1 + DISC_VERTICES) % DISC_VERTICES];
        const double t = b[1] != a[1] ? (dy - a[1]) / (b[1] - a[1]) : 0.0;
        const double half = r * (a[0] + (b[0] - a[0]) * t);
        span(j, cx - half, cx + half);
    }
}

void discInWindowUnits(const double c[2], double r)
{
    rasterDisc(toPixelX(c[0]), toPixelY(c[1]), r * SIZE / 2.0);
}

}  // namespace

void drawLine(const double p1[2], const double p2[2], const float colour[4])
{
    setColour(colour);
    lineInWindowUnits(p1, p2);
}

void drawThickLine(const double p1[2], const double p2[2], double width, const float colour[4])
{
    setColour(colour);
    lineWidth = static_cast<float>(PIXELS_PER_UNIT * width);
    lineInWindowUnits(p1, p2);
    lineWidth = LINE_WIDTH_AFTER_THICK;
}

void beginThickLines(double width, const float colour[4])
{
    setColour(colour);
    lineWidth = static_cast<float>(PIXELS_PER_UNIT * width);
}

void thickLineSegment(const double p1[2], const double p2[2]) { lineInWindowUnits(p1, p2); }

void thickLineColour(const float colour[4]) { setColour(colour); }

void endThickLines() { lineWidth = LINE_WIDTH_AFTER_THICK; }

// Each character is drawn at its own pen position, advanced by the bitmap
// font's width table, so that texts written in pieces meet as in the window.
void drawText(float x, float y, TextFont font, const char* text)
{
    constexpr double EPS = 0.0001;  // raster positions on a pixel edge belong to that pixel
    double pen = (static_cast<double>(x) + 1.0) * SIZE / 2.0;
    const int baseline = static_cast<int>(std::floor((static_cast<double>(y) + 1.0) * SIZE / 2.0 + EPS));
    char shown[TEXT_CAP];
    int px[TEXT_CAP];
    int n = 0;
    for (const char* c = text; *c != '\0' && n < TEXT_CAP - 1; ++c) {
        const unsigned char ch = static_cast<unsigned char>(*c);
        if (ch >= FIRST_GLYPH && ch <= LAST_GLYPH) {
            shown[n] = static_cast<char>(ch);
            px[n] = static_cast<int>(std::floor(pen + EPS));
            ++n;
        }
        pen += glyphAdvance(font, ch);
    }
    shown[n] = '\0';
    if (n == 0) return;
    setColour(textColour);
    pageText(pixels, shown, px, SIZE - baseline, fontPixelSize(font), font == FONT_TIMES_ROMAN_24, rgb[0], rgb[1],
             rgb[2]);
}

void drawDisc(const double centre[2], double r, const float colour[4])
{
    setColour(colour);
    discInWindowUnits(centre, r);
}

void drawRing(const double centre[2], double r, const float colour[4])
{
    drawDisc(centre, r, colour);
    drawDisc(centre, ringInnerRadius(r), white);
}

void fillRect(const double corner[2], double width, double height, double angle, const float colour[4])
{
    const double v[4][2] = {{0.0, 0.0}, {width, 0.0}, {width, height}, {0.0, height}};
    setColour(colour);
    fillPlaced(v, 4, corner, angle);
}

void frameRect(const double corner[2], double width, double height, double angle, const float colour[4])
{
    const double v[4][2] = {{0.0, 0.0}, {width, 0.0}, {width, height}, {0.0, height}};
    double px[4][2];
    setColour(colour);
    placeVertices(v, 4, corner, angle, px);
    for (int k = 0; k < 4; ++k) rasterLine(px[k], px[(k + 1) % 4]);
}

void drawArrow(double k, const double tip[2], double length, double angle, const float colour[4])
{
    ArrowGeometry g;
    arrowGeometry(k, length, &g);
    setColour(colour);
    fillPlaced(g.shaft, 4, tip, angle);
    fillPlaced(g.headUp, 3, tip, angle);
    fillPlaced(g.headDown, 3, tip, angle);
}

void drawGrid(const double centre[2], double angle, int n, double dx, double dy)
{
    setColour(black);
    const double X = n * dx, Y = n * dy;
    // Both families: i = 0 is the axis, 2 px wide; the others are 1 px.
    for (int family = 0; family < 2; ++family) {
        for (int i = -n; i <= n; ++i) {
            lineWidth = i == 0 ? 2.0f : 1.0f;
            const double ends[2][2] = {{family == 0 ? i * dx : -X, family == 0 ? -Y : i * dy},
                                       {family == 0 ? i * dx : X, family == 0 ? Y : i * dy}};
            double px[2][2];
            placeVertices(ends, 2, centre, angle, px);
            rasterLine(px[0], px[1]);
        }
    }
    lineWidth = 1.0f;
}

void drawPathDisc(const double point[2], double r, const float colour[4])
{
    double c[2];
    figureTransform(point[0], point[1], c);
    drawDisc(c, r, colour);
}

// Disc by disc: the rasteriser is cheap enough for the longest run, and the
// union of the discs is the same whatever is painted over later.
void drawPathDiscRun(const double* first, int stride, int count, double r, const float colour[4],
                     const double* /*coveredLater*/)
{
    setColour(colour);
    for (int j = 0; j < count; ++j) {
        const double* p = first + static_cast<long>(j) * stride;
        double c[2];
        figureTransform(p[0], p[1], c);
        discInWindowUnits(c, r);
    }
}

void clearFrame()
{
    std::memset(pixels, 0xFF, sizeof pixels);
}

void presentFrame() { pagePresent(pixels); }
