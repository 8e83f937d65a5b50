// The answer key's picture: the phase plane with the optimal motion (and a replayed
// key session) beside the optimal motion's axis positions and accelerations over time.
// Reads `optimum` and the curves and trajectory tables of `sim`; draws with cairo.
#pragma once

typedef struct _cairo cairo_t;

enum FigureFormat { FIG_SVG, FIG_PNG, FIG_PDF };

constexpr int FIG_WIDTH = 1200;  // [px] for PNG, [pt] for SVG and PDF
constexpr int FIG_HEIGHT = 600;

// The one drawing routine, for any cairo surface of width x height.
// withSession: also the replayed session's trajectory and switching points.
void drawFigure(cairo_t* cr, double width, double height, bool withSession);

// Receives the picture's bytes in order; false stops the drawing as a write error.
using FigureWriteFn = bool (*)(void* closure, const unsigned char* data, unsigned int length);

// Draws the picture in the given format and hands its bytes to write. False when
// cairo or a write failed; what was written so far is then incomplete.
bool renderFigure(FigureFormat format, bool withSession, FigureWriteFn write, void* closure);

// Tick step for an axis spanning `range` with about `want` intervals: 1, 2 or 5 times a power of ten.
double niceStep(double range, int want);
