// The drawing primitives of the window: lines, texts, discs, rings, rectangles, arrows, grid.
// Reads the view state of `sim` (drawPathDisc only); owns the GL lighting, colour and line-width state.
// The OpenGL back end of render/primitives.h.
#include "render/primitives.h"

#define GL_GLEXT_PROTOTYPES 1  // glMultiDrawArrays (OpenGL 1.4)

#include <GL/freeglut.h>
#include <cmath>

#include "core/state.h"
#include "render/view.h"

namespace {

constexpr double RAD_PER_DEG = 0.01745329252;  // rotations are applied in degrees

// Every shape is drawn unlit in its own colour; lighting is switched on again
// afterwards, so that raster positions set later are lit (the text colour).
void beginShape(const float colour[4])
{
    glDisable(GL_LIGHTING);
    glColor4fv(colour);
}

void endShape() { glEnable(GL_LIGHTING); }

void vertex(const double p[2]) { glVertex2d(p[0], p[1]); }

void rectVertices(double width, double height)
{
    glVertex2d(0.0, 0.0);
    glVertex2d(width, 0.0);
    glVertex2d(width, height);
    glVertex2d(0.0, height);
}

}  // namespace

void drawLine(const double p1[2], const double p2[2], const float colour[4])
{
    beginShape(colour);
    glBegin(GL_LINES);
    vertex(p1);
    vertex(p2);
    glEnd();
    endShape();
}

void drawThickLine(const double p1[2], const double p2[2], double width, const float colour[4])
{
    beginShape(colour);
    glLineWidth(static_cast<float>(PIXELS_PER_UNIT * width));
    glBegin(GL_LINES);
    vertex(p1);
    vertex(p2);
    glEnd();
    glLineWidth(LINE_WIDTH_AFTER_THICK);
    endShape();
}

// A run of thick segments of one width and colour: the same picture as one
// drawThickLine per segment (independent GL_LINES segments, the same width,
// colour and lighting state, 2 pixels afterwards), in one batch so that the
// renderer does not switch its line state twice per segment.
void beginThickLines(double width, const float colour[4])
{
    beginShape(colour);
    glLineWidth(static_cast<float>(PIXELS_PER_UNIT * width));
    glBegin(GL_LINES);
}

void thickLineSegment(const double p1[2], const double p2[2])
{
    vertex(p1);
    vertex(p2);
}

// A change of colour between segments of the run: the segments that follow are
// drawn in it, as separate drawThickLine calls in that colour would draw them.
void thickLineColour(const float colour[4]) { glColor4fv(colour); }

void endThickLines()
{
    glEnd();
    glLineWidth(LINE_WIDTH_AFTER_THICK);
    endShape();
}

// The colour is set explicitly as well as by the lighting state, so that texts
// drawn before the first shape (lighting still off) are near-black too. The
// attribute group restores the current colour afterwards.
void drawText(float x, float y, TextFont font, const char* text)
{
    void* const glutFont = font == FONT_HELVETICA_12   ? GLUT_BITMAP_HELVETICA_12
                           : font == FONT_TIMES_ROMAN_24 ? GLUT_BITMAP_TIMES_ROMAN_24
                                                         : GLUT_BITMAP_HELVETICA_18;
    glPushAttrib(GL_CURRENT_BIT);
    glColor4fv(textColour);
    glRasterPos2f(x, y);
    for (const char* c = text; *c != '\0'; ++c) glutBitmapCharacter(glutFont, static_cast<unsigned char>(*c));
    glPopAttrib();
}

void drawDisc(const double centre[2], double r, const float colour[4])
{
    const double (*circle)[2] = unitCircle();
    beginShape(colour);
    glPushMatrix();
    glTranslated(centre[0], centre[1], 0.0);
    glBegin(GL_POLYGON);
    for (int i = 0; i < DISC_VERTICES; ++i) glVertex2d(r * circle[i][0], r * circle[i][1]);
    glEnd();
    glPopMatrix();
    endShape();
}

void drawRing(const double centre[2], double r, const float colour[4])
{
    drawDisc(centre, r, colour);
    drawDisc(centre, ringInnerRadius(r), white);
}

void fillRect(const double corner[2], double width, double height, double angle, const float colour[4])
{
    beginShape(colour);
    glPushMatrix();
    glTranslated(corner[0], corner[1], 0.0);
    glRotated(angle / RAD_PER_DEG, 0.0, 0.0, 1.0);
    glBegin(GL_POLYGON);
    rectVertices(width, height);
    glEnd();
    glPopMatrix();
    endShape();
}

void frameRect(const double corner[2], double width, double height, double angle, const float colour[4])
{
    beginShape(colour);
    glPushMatrix();
    glTranslated(corner[0], corner[1], 0.0);
    glRotated(angle / RAD_PER_DEG, 0.0, 0.0, 1.0);
    glBegin(GL_LINE_LOOP);
    rectVertices(width, height);
    glEnd();
    glPopMatrix();
    endShape();
}

void drawArrow(double k, const double tip[2], double length, double angle, const float colour[4])
{
    ArrowGeometry g;
    arrowGeometry(k, length, &g);
    beginShape(colour);
    glPushMatrix();
    glTranslated(tip[0], tip[1], 0.0);
    glRotated(angle / RAD_PER_DEG, 0.0, 0.0, 1.0);
    glBegin(GL_POLYGON);
    for (int i = 0; i < 4; ++i) vertex(g.shaft[i]);
    glEnd();
    glBegin(GL_POLYGON);
    for (int i = 0; i < 3; ++i) vertex(g.headUp[i]);
    glEnd();
    glBegin(GL_POLYGON);
    for (int i = 0; i < 3; ++i) vertex(g.headDown[i]);
    glEnd();
    glPopMatrix();
    endShape();
}

// 2n + 1 lines each way, reaching n·dx and n·dy from the centre; the two through
// the centre (the axes) are 2 pixels wide, the others 1 pixel, which stays in force.
void drawGrid(const double centre[2], double angle, int n, double dx, double dy)
{
    beginShape(black);
    glPushMatrix();
    glTranslated(centre[0], centre[1], 0.0);
    glRotated(angle / RAD_PER_DEG, 0.0, 0.0, 1.0);
    const double X = n * dx;
    const double Y = n * dy;
    for (int i = -n; i <= n; ++i) {
        glLineWidth(i == 0 ? 2.0f : 1.0f);
        glBegin(GL_LINES);
        glVertex2d(i * dx, -Y);
        glVertex2d(i * dx, Y);
        glEnd();
    }
    for (int i = -n; i <= n; ++i) {
        glLineWidth(i == 0 ? 2.0f : 1.0f);
        glBegin(GL_LINES);
        glVertex2d(-X, i * dy);
        glVertex2d(X, i * dy);
        glEnd();
    }
    glLineWidth(1.0f);
    glPopMatrix();
    endShape();
}

void drawPathDisc(const double point[2], double r, const float colour[4])
{
    double c[2];
    figureTransform(point[0], point[1], c);
    drawDisc(c, r, colour);
}

namespace {

// How a run of trace discs is drawn with fewer primitives and the same pixels.
// The discs of a run share one colour, with no blending or depth test, so the
// run's pixels are the union of the pixels its discs light, in any order. A
// polygon lights the pixels whose centres lie inside it. A centre closer to the
// disc's centre than the polygon's inner radius r cos(pi / DISC_VERTICES), less
// a margin, is lit for certain; one farther than r plus the margin is not; in
// between lies the margin band, where only the polygon itself can tell. The
// margin is the renderer's sub-pixel step (at least 1/256 px): twice the most a
// vertex moves when it is snapped, and far above the float rounding of positions.

constexpr int DISC_BATCH = 256;           // polygons per draw call
constexpr int ROW_BATCH = 2048;           // pixel rows per draw call
constexpr int RECENT_DISCS = 8;           // drawn discs a new one is compared with
constexpr long MAX_TESTED_CENTRES = 1024; // larger discs are drawn as polygons

// Pixel grid of the viewport; valid when the modelview and projection are the
// identity (the frame's state between shapes), so that window units map to
// pixels through the viewport alone, and when a pixel is lit by its centre
// alone and takes the colour as it is (no multisampling, polygon smoothing or
// blending, none of which the program uses).
struct PixelGrid {
    int w, h;       // [px]
    double margin;  // [px]
};

bool isIdentity(const GLdouble m[16])
{
    for (int i = 0; i < 16; ++i)
        if (m[i] != (i % 5 == 0 ? 1.0 : 0.0)) return false;
    return true;
}

bool pixelGrid(PixelGrid* grid)
{
    GLdouble mv[16], pr[16];
    GLint vp[4];
    GLint bits = 4;
    GLint sampleBuffers = 0;
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    glGetIntegerv(GL_VIEWPORT, vp);
    glGetIntegerv(GL_SUBPIXEL_BITS, &bits);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    if (!isIdentity(mv) || !isIdentity(pr) || vp[2] <= 0 || vp[3] <= 0) return false;
    if (sampleBuffers != 0 || glIsEnabled(GL_POLYGON_SMOOTH) || glIsEnabled(GL_BLEND)) return false;
    if (bits < 4) bits = 4;  // the least a renderer may have
    if (bits > 8) bits = 8;
    grid->w = vp[2];
    grid->h = vp[3];
    grid->margin = std::ldexp(1.0, -bits);
    return true;
}

// Pixel centres i + 0.5 (0 <= i < n, from the viewport's edge) within [lo, hi]
// window units widened by margin pixels (narrowed when margin < 0): first..last,
// empty when first > last; finite is false for a non-finite range.
struct Span {
    int first = 0, last = -1;
    bool finite = true;
    bool empty() const { return first > last; }
    bool has(int i) const { return i >= first && i <= last; }
};

Span centreSpan(double lo, double hi, int n, double margin)
{
    Span s;
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        s.finite = false;
        return s;
    }
    const double scale = n / 2.0;
    const double f = std::ceil((lo + 1.0) * scale - margin - 0.5);
    const double l = std::floor((hi + 1.0) * scale + margin - 0.5);
    s.first = f < 0.0 ? 0 : (f > n ? n : static_cast<int>(f));
    s.last = l > n - 1 ? n - 1 : (l < -1.0 ? -1 : static_cast<int>(l));
    return s;
}

// The discs of the run drawn last, centres in pixels.
struct RecentDiscs {
    double x[RECENT_DISCS] = {}, y[RECENT_DISCS] = {};
    int n = 0, next = 0;
    void add(double px, double py)
    {
        x[next] = px;
        y[next] = py;
        next = (next + 1) % RECENT_DISCS;
        if (n < RECENT_DISCS) ++n;
    }
    bool lights(double px, double py, double inner2) const
    {
        for (int q = 0; q < n; ++q)
            if ((px - x[q]) * (px - x[q]) + (py - y[q]) * (py - y[q]) < inner2) return true;
        return false;
    }
};

// One disc on the pixel grid: centre and radii in pixels, the centres it may light.
struct DiscPixels {
    double cx, cy;      // centre [px]
    double inner2;      // squared radius within which a centre is lit for certain
    double outer2;      // squared radius beyond which a centre is not lit
    Span sx, sy;        // centres within the disc's box and the margin
};

enum DiscPlan { DISC_NOTHING_NEW, DISC_ROWS, DISC_POLYGON };

// What a disc adds to the run: nothing (every centre it may light is lit for
// certain by a recent disc, or lies in the region painted over later), rows of
// pixels (the centres it lights are known: none lies in its margin band), or
// its polygon.
DiscPlan planDisc(const DiscPixels& d, const Span& hideX, const Span& hideY, const RecentDiscs& recent)
{
    if (static_cast<long>(d.sx.last - d.sx.first + 1) * (d.sy.last - d.sy.first + 1) > MAX_TESTED_CENTRES)
        return DISC_POLYGON;
    bool certain = true;
    bool adds = false;
    for (int iy = d.sy.first; iy <= d.sy.last; ++iy) {
        const double py = iy + 0.5;
        for (int ix = d.sx.first; ix <= d.sx.last; ++ix) {
            const double px = ix + 0.5;
            const double d2 = (px - d.cx) * (px - d.cx) + (py - d.cy) * (py - d.cy);
            if (d2 > d.outer2) continue;                 // not lit
            if (!(d2 < d.inner2)) certain = false;       // in the margin band
            if (hideX.has(ix) && hideY.has(iy)) continue;  // painted over later
            if (!adds && !recent.lights(px, py, d.inner2)) adds = true;
        }
    }
    if (!adds) return DISC_NOTHING_NEW;
    return certain ? DISC_ROWS : DISC_POLYGON;
}

// Disc polygons and pixel rows waiting for their draw calls.
struct DiscBatch {
    float polygons[DISC_BATCH][DISC_VERTICES][2];
    GLint firsts[DISC_BATCH];
    GLsizei counts[DISC_BATCH];
    int nPolygons = 0;
    float rows[ROW_BATCH][4][2];
    int nRows = 0;
};
DiscBatch batch;

void flushPolygons()
{
    if (batch.nPolygons == 0) return;
    for (int i = 0; i < batch.nPolygons; ++i) {
        batch.firsts[i] = i * DISC_VERTICES;
        batch.counts[i] = DISC_VERTICES;
    }
    glVertexPointer(2, GL_FLOAT, 0, batch.polygons);
    glMultiDrawArrays(GL_POLYGON, batch.firsts, batch.counts, batch.nPolygons);
    batch.nPolygons = 0;
}

void flushRows()
{
    if (batch.nRows == 0) return;
    glVertexPointer(2, GL_FLOAT, 0, batch.rows);
    glDrawArrays(GL_QUADS, 0, 4 * batch.nRows);
    batch.nRows = 0;
}

// The polygon of drawDisc about c: glTranslated(c) and glVertex2d(r cos, r sin)
// under the identity give the renderer the float sum of the float translation
// and the float vertex, which is what is stored here.
void addPolygon(const double c[2], const float (*offsets)[2])
{
    const float cx = static_cast<float>(c[0]);
    const float cy = static_cast<float>(c[1]);
    float (*v)[2] = batch.polygons[batch.nPolygons];
    for (int i = 0; i < DISC_VERTICES; ++i) {
        v[i][0] = offsets[i][0] + cx;
        v[i][1] = offsets[i][1] + cy;
    }
    if (++batch.nPolygons == DISC_BATCH) flushPolygons();
}

// The pixels a disc lights, one rectangle per pixel row, with its edges on pixel
// borders (half a pixel from every centre).
void addRows(const DiscPixels& d, const PixelGrid& grid)
{
    const double ux = 2.0 / grid.w, uy = 2.0 / grid.h;  // one pixel in window units
    for (int iy = d.sy.first; iy <= d.sy.last; ++iy) {
        const double py = iy + 0.5;
        int a = -1, b = -1;
        for (int ix = d.sx.first; ix <= d.sx.last; ++ix) {
            const double px = ix + 0.5;
            if ((px - d.cx) * (px - d.cx) + (py - d.cy) * (py - d.cy) < d.inner2) {
                if (a < 0) a = ix;
                b = ix;
            }
        }
        if (a < 0) continue;
        const float x0 = static_cast<float>(a * ux - 1.0), x1 = static_cast<float>((b + 1) * ux - 1.0);
        const float y0 = static_cast<float>(iy * uy - 1.0), y1 = static_cast<float>((iy + 1) * uy - 1.0);
        float (*v)[2] = batch.rows[batch.nRows];
        v[0][0] = x0, v[0][1] = y0;
        v[1][0] = x1, v[1][1] = y0;
        v[2][0] = x1, v[2][1] = y1;
        v[3][0] = x0, v[3][1] = y1;
        if (++batch.nRows == ROW_BATCH) flushRows();
    }
}

// One disc polygon about centre c, exactly as drawDisc draws it (shape state is the caller's).
void discPolygon(const double c[2], double r, const double (*circle)[2])
{
    glPushMatrix();
    glTranslated(c[0], c[1], 0.0);
    glBegin(GL_POLYGON);
    for (int i = 0; i < DISC_VERTICES; ++i) glVertex2d(r * circle[i][0], r * circle[i][1]);
    glEnd();
    glPopMatrix();
}

}  // namespace

void drawPathDiscRun(const double* first, int stride, int count, double r, const float colour[4],
                     const double coveredLater[4])
{
    if (count <= 0) return;
    const double (*circle)[2] = unitCircle();
    PixelGrid grid;
    const bool onGrid = pixelGrid(&grid);
    beginShape(colour);
    if (!onGrid) {  // transforms of someone else's: one polygon per disc
        for (int j = 0; j < count; ++j) {
            const double* p = first + static_cast<long>(j) * stride;
            double c[2];
            figureTransform(p[0], p[1], c);
            discPolygon(c, r, circle);
        }
        endShape();
        return;
    }

    Span hideX, hideY;
    if (coveredLater != nullptr) {
        hideX = centreSpan(coveredLater[0], coveredLater[2], grid.w, -grid.margin);
        hideY = centreSpan(coveredLater[1], coveredLater[3], grid.h, -grid.margin);
    }
    static float offsets[DISC_VERTICES][2];
    for (int i = 0; i < DISC_VERTICES; ++i) {
        offsets[i][0] = static_cast<float>(r * circle[i][0]);
        offsets[i][1] = static_cast<float>(r * circle[i][1]);
    }
    // Pixel rows and the cover test need a round disc on the grid: square pixels.
    const bool round = grid.w == grid.h;
    const double rpx = r * grid.w / 2.0;
    const double inner = rpx * std::cos(PI / DISC_VERTICES) - grid.margin;
    const double outer = rpx + grid.margin;
    RecentDiscs recent;

    glEnableClientState(GL_VERTEX_ARRAY);
    batch.nPolygons = batch.nRows = 0;
    for (int j = 0; j < count; ++j) {
        const double* p = first + static_cast<long>(j) * stride;
        double c[2];
        figureTransform(p[0], p[1], c);
        DiscPixels d;
        d.sx = centreSpan(c[0] - r, c[0] + r, grid.w, grid.margin);
        d.sy = centreSpan(c[1] - r, c[1] + r, grid.h, grid.margin);
        if (!d.sx.finite || !d.sy.finite) {
            addPolygon(c, offsets);
            continue;
        }
        if (d.sx.empty() || d.sy.empty()) continue;  // no pixel centre near it
        DiscPlan plan = DISC_POLYGON;
        if (round && inner > 0.0) {
            d.cx = (c[0] + 1.0) * grid.w / 2.0;
            d.cy = (c[1] + 1.0) * grid.h / 2.0;
            d.inner2 = inner * inner;
            d.outer2 = outer * outer;
            plan = planDisc(d, hideX, hideY, recent);
            if (plan == DISC_NOTHING_NEW) continue;
            recent.add(d.cx, d.cy);
        } else if (!hideX.empty() && d.sx.first >= hideX.first && d.sx.last <= hideX.last &&
                   d.sy.first >= hideY.first && d.sy.last <= hideY.last) {
            continue;  // painted over later
        }
        if (plan == DISC_ROWS)
            addRows(d, grid);
        else
            addPolygon(c, offsets);
    }
    flushPolygons();
    flushRows();
    glDisableClientState(GL_VERTEX_ARRAY);
    endShape();
}

void clearFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void presentFrame()
{
    glFlush();
    glutSwapBuffers();
}
