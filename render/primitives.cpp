// The drawing primitives of the window: lines, texts, discs, rings, rectangles, arrows, grid.
// Reads the view state of `sim` (drawPathDisc only); owns the GL lighting, colour and line-width state.
#include "render/primitives.h"

#include <GL/freeglut.h>
#include <cmath>

#include "app/state.h"
#include "render/view.h"

const float red[4] = {1.0f, 0.0f, 0.0f, 0.0f};
const float green[4] = {0.0f, 1.0f, 0.0f, 0.0f};
const float blue[4] = {0.0f, 0.0f, 1.0f, 0.0f};
const float yellow[4] = {1.0f, 1.0f, 0.0f, 0.0f};
const float white[4] = {1.0f, 1.0f, 1.0f, 0.0f};
const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
const float textColour[4] = {0.04f, 0.04f, 0.04f, 1.0f};

namespace {

constexpr int DISC_VERTICES = 120;
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

void endThickLines()
{
    glEnd();
    glLineWidth(LINE_WIDTH_AFTER_THICK);
    endShape();
}

// The colour is set explicitly as well as by the lighting state, so that texts
// drawn before the first shape (lighting still off) are near-black too. The
// attribute group restores the current colour afterwards.
void drawText(float x, float y, void* font, const char* text)
{
    glPushAttrib(GL_CURRENT_BIT);
    glColor4fv(textColour);
    glRasterPos2f(x, y);
    for (const char* c = text; *c != '\0'; ++c) glutBitmapCharacter(font, static_cast<unsigned char>(*c));
    glPopAttrib();
}

// Unit circle of the disc polygon, (cos, sin) of i * 2π / DISC_VERTICES, computed
// once: a playback frame draws hundreds of discs.
const double (*unitCircle())[2]
{
    static double table[DISC_VERTICES][2];
    static bool made = false;
    if (!made) {
        for (int i = 0; i < DISC_VERTICES; ++i) {
            const double th = i * 2.0 * PI / DISC_VERTICES;
            table[i][0] = std::cos(th);
            table[i][1] = std::sin(th);
        }
        made = true;
    }
    return table;
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

void drawPathDiscRun(const double* first, int stride, int count, double r, const float colour[4])
{
    // The same discs as count drawPathDisc calls, in one lighting-off span:
    // switching the lighting around each of hundreds of trace discs makes the
    // software renderer rebuild its state for every disc.
    if (count <= 0) return;
    const double (*circle)[2] = unitCircle();
    beginShape(colour);
    for (int j = 0; j < count; ++j) {
        const double* p = first + static_cast<long>(j) * stride;
        double c[2];
        figureTransform(p[0], p[1], c);
        glPushMatrix();
        glTranslated(c[0], c[1], 0.0);
        glBegin(GL_POLYGON);
        for (int i = 0; i < DISC_VERTICES; ++i) glVertex2d(r * circle[i][0], r * circle[i][1]);
        glEnd();
        glPopMatrix();
    }
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
