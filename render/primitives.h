// The drawing primitives of the window: lines, texts, discs, rings, rectangles, arrows, grid.
// Reads the view state of `sim` (drawPathDisc only); owns the colour and line-width state.
// Two back ends implement it: OpenGL for the window program (render/primitives.cpp) and a
// pixel buffer shown on a Canvas 2D context for the browser edition (web/canvas.cpp). Frame
// composition, phase plots, carriage and time graphs draw through it alone.
#pragma once

// Named colours (R, G, B, A); alpha plays no part, blending is never enabled.
inline constexpr float red[4] = {1.0f, 0.0f, 0.0f, 0.0f};
inline constexpr float green[4] = {0.0f, 1.0f, 0.0f, 0.0f};
inline constexpr float blue[4] = {0.0f, 0.0f, 1.0f, 0.0f};
inline constexpr float yellow[4] = {1.0f, 1.0f, 0.0f, 0.0f};
inline constexpr float white[4] = {1.0f, 1.0f, 1.0f, 0.0f};
inline constexpr float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// Colour of every window text, (0.04, 0.04, 0.04, 1): what the fixed-function
// pipeline gives a raster position under lighting with no light source, the
// default material and the default scene ambient 0.2 (0.2 · 0.2).
inline constexpr float textColour[4] = {0.04f, 0.04f, 0.04f, 1.0f};

// Line widths are given in window units and drawn at this many pixels per unit.
constexpr double PIXELS_PER_UNIT = 400.0;
constexpr float LINE_WIDTH_AFTER_THICK = 2.0f;  // [px] left by drawThickLine

// Every position, radius and length is in window units (−1 … +1 across the window).
void drawLine(const double p1[2], const double p2[2], const float colour[4]);
void drawThickLine(const double p1[2], const double p2[2], double width, const float colour[4]);
// Many thick segments of one width, drawn exactly as repeated drawThickLine
// calls would draw them: begin, segments (with thickLineColour between them
// where the colour changes), end.
void beginThickLines(double width, const float colour[4]);
void thickLineSegment(const double p1[2], const double p2[2]);
void thickLineColour(const float colour[4]);
void endThickLines();
// The bitmap fonts of the window texts (the GLUT fonts of the same names).
enum TextFont { FONT_HELVETICA_12, FONT_HELVETICA_18, FONT_TIMES_ROMAN_24 };
// Text with its baseline starting at (x, y); each character advances by its
// width in the font. Bytes below the font's first glyph (a newline) draw nothing.
void drawText(float x, float y, TextFont font, const char* text);
void drawDisc(const double centre[2], double r, const float colour[4]);
void drawRing(const double centre[2], double r, const float colour[4]);
void fillRect(const double corner[2], double width, double height, double angle, const float colour[4]);
void frameRect(const double corner[2], double width, double height, double angle, const float colour[4]);
void drawArrow(double k, const double tip[2], double length, double angle, const float colour[4]);
void drawGrid(const double centre[2], double angle, int n, double dx, double dy);
// drawDisc at the figure transform of the path point (x, y) [m]; r is not zoomed.
void drawPathDisc(const double point[2], double r, const float colour[4]);
// count path discs whose points (x, y) [m] start at first and follow each other
// every stride doubles; the same picture as count drawPathDisc calls once the
// frame is finished. coveredLater (x0, y0, x1, y1 in window units, or null) is a
// rectangle that the caller paints over later in the frame: what a disc would
// draw only there may be left out.
void drawPathDiscRun(const double* first, int stride, int count, double r, const float colour[4],
                     const double coveredLater[4] = nullptr);
void clearFrame();
void presentFrame();
