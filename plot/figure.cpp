// The answer key's picture on cairo: one drawing routine for SVG, PNG and PDF.
// Reads `optimum`, the boundary curves, the velocity limit and the trajectory of `sim`.
#include "plot/figure.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>

#include "core/state.h"
#include "path/curves.h"
#include "planner/optimum.h"
#include "planner/search.h"
#include "planner/session_check.h"

namespace {

constexpr int TIME_SAMPLES = 600;   // samples of each time graph
constexpr int MAX_TICKS = 40;       // ticks drawn on one axis at most
constexpr double FONT = 12.0;       // label size [px]
constexpr double MARK_R = 4.5;      // switching point marker radius [px]

struct Rgb {
    double r, g, b;
};
constexpr Rgb INK = {0.0, 0.0, 0.0};
constexpr Rgb GREY = {0.6, 0.6, 0.6};
constexpr Rgb GRID = {0.88, 0.88, 0.88};
constexpr Rgb BLUE = {0.0, 0.0, 1.0};
constexpr Rgb GREEN = {0.0, 0.55, 0.0};
constexpr Rgb RED = {0.9, 0.0, 0.0};
constexpr Rgb MAGENTA = {0.75, 0.0, 0.75};

// A plot: its rectangle on the page [px] and the data ranges it shows.
struct Panel {
    double px, py, pw, ph;  // left, top, width, height
    double x0, x1, y0, y1;  // data range
    double X(double x) const { return px + (x - x0) / (x1 - x0) * pw; }
    double Y(double y) const { return py + ph - (y - y0) / (y1 - y0) * ph; }
};

void colour(cairo_t* cr, const Rgb& c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

void text(cairo_t* cr, double x, double y, const char* s, double alignX, double alignY)
{
    cairo_text_extents_t e;
    cairo_text_extents(cr, s, &e);
    cairo_move_to(cr, x - alignX * e.width - e.x_bearing, y - alignY * e.height - e.y_bearing);
    cairo_show_text(cr, s);
}

// Axis label text of a tick value: no more decimals than the step needs.
void tickLabel(double v, double step, char* buf, int cap)
{
    int decimals = 0;
    while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) > 1e-6)
        ++decimals;
    if (std::fabs(v) < step * 1e-6) v = 0.0;
    std::snprintf(buf, static_cast<size_t>(cap), "%.*f", decimals, v);
}

// Frame, grid lines, ticks with labels and the two axis titles of a panel.
void axes(cairo_t* cr, const Panel& p, const char* xTitle, const char* yTitle, bool xLabels)
{
    cairo_set_font_size(cr, FONT);
    const double sx = niceStep(p.x1 - p.x0, 6), sy = niceStep(p.y1 - p.y0, 4);
    char buf[32];
    cairo_set_line_width(cr, 0.8);
    int n = 0;
    for (double v = std::ceil(p.x0 / sx - 1e-9) * sx; v <= p.x1 + sx * 1e-9 && n < MAX_TICKS; v += sx, ++n) {
        colour(cr, GRID);
        cairo_move_to(cr, p.X(v), p.py);
        cairo_line_to(cr, p.X(v), p.py + p.ph);
        cairo_stroke(cr);
        if (xLabels) {
            colour(cr, INK);
            tickLabel(v, sx, buf, sizeof buf);
            text(cr, p.X(v), p.py + p.ph + 4, buf, 0.5, 0.0);
        }
    }
    n = 0;
    for (double v = std::ceil(p.y0 / sy - 1e-9) * sy; v <= p.y1 + sy * 1e-9 && n < MAX_TICKS; v += sy, ++n) {
        colour(cr, GRID);
        cairo_move_to(cr, p.px, p.Y(v));
        cairo_line_to(cr, p.px + p.pw, p.Y(v));
        cairo_stroke(cr);
        colour(cr, INK);
        tickLabel(v, sy, buf, sizeof buf);
        text(cr, p.px - 5, p.Y(v), buf, 1.0, 0.5);
    }
    colour(cr, INK);
    cairo_set_line_width(cr, 1.2);
    cairo_rectangle(cr, p.px, p.py, p.pw, p.ph);
    cairo_stroke(cr);
    if (xTitle != nullptr) text(cr, p.px + p.pw / 2, p.py + p.ph + 20, xTitle, 0.5, 0.0);
    cairo_save(cr);
    cairo_translate(cr, p.px - 48, p.py + p.ph / 2);
    cairo_rotate(cr, -PI / 2);
    text(cr, 0, 0, yTitle, 0.5, 0.5);
    cairo_restore(cr);
}

// A polyline of (x, y) pairs clipped to the panel; non-finite points break it.
void polyline(cairo_t* cr, const Panel& p, const double (*pts)[2], int last, int stride, const Rgb& c,
              double width)
{
    cairo_save(cr);
    cairo_rectangle(cr, p.px, p.py, p.pw, p.ph);
    cairo_clip(cr);
    colour(cr, c);
    cairo_set_line_width(cr, width);
    const double yCap = p.y1 + (p.y1 - p.y0);  // far enough outside to be clipped, finite for cairo
    bool pen = false;
    for (int i = 0; i <= last; i += stride) {
        const double x = pts[i][0], y = pts[i][1];
        if (!std::isfinite(x) || !std::isfinite(y)) {
            pen = false;
            continue;
        }
        const double yc = y > yCap ? yCap : y;
        if (pen)
            cairo_line_to(cr, p.X(x), p.Y(yc));
        else
            cairo_move_to(cr, p.X(x), p.Y(yc));
        pen = true;
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

void marker(cairo_t* cr, double x, double y, const Rgb& c, bool filled)
{
    colour(cr, c);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, MARK_R, 0, 2 * PI);
    if (filled) cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

void dashedLevel(cairo_t* cr, const Panel& p, double y, const Rgb& c)
{
    if (y < p.y0 || y > p.y1) return;
    const double dash[2] = {6.0, 4.0};
    cairo_save(cr);
    cairo_set_dash(cr, dash, 2, 0);
    colour(cr, c);
    cairo_set_line_width(cr, 1.2);
    cairo_move_to(cr, p.px, p.Y(y));
    cairo_line_to(cr, p.px + p.pw, p.Y(y));
    cairo_stroke(cr);
    cairo_restore(cr);
}

// The key session's curve: red, thin and dashed, so that the optimum's green
// line under it stays visible where the two coincide.
void sessionLine(cairo_t* cr, const Panel& p, const double (*pts)[2], int last)
{
    const double dash[2] = {6.0, 4.0};
    cairo_save(cr);
    cairo_set_dash(cr, dash, 2, 0.0);
    polyline(cr, p, pts, last, 1, RED, 1.4);
    cairo_restore(cr);
}

// The last point of the session's red trajectory: the rebuilt final trajectory
// once the search has ended, the points searched so far otherwise.
int sessionLast()
{
    if (sim.endMark == 'e') return sim.mf < TRAJ_CAP - 1 ? sim.mf : TRAJ_CAP - 1;
    return trajectoryPlotLast();
}

bool arcLike() { return sim.cpType == CP_ARC || sim.cpType == CP_SLALOM; }

void phasePlane(cairo_t* cr, const Panel& p, bool withSession)
{
    const SimState& g = sim;
    const char* sUnit = arcLike() ? "rad" : "m";
    char xTitle[64], yTitle[64];
    std::snprintf(xTitle, sizeof xTitle, "s [%s]", sUnit);
    std::snprintf(yTitle, sizeof yTitle, "ds/dt [%s/s]", sUnit);
    axes(cr, p, xTitle, yTitle, true);

    polyline(cr, p, g.vLimit, g.vLimitLast < VLIMIT_CAP ? g.vLimitLast : VLIMIT_CAP - 1, 1, INK, 2.0);
    polyline(cr, p, g.fwdCurve, g.fwdN < CURVE_CAP ? g.fwdN : CURVE_CAP - 1, 1, BLUE, 1.2);
    polyline(cr, p, g.bwdCurve, g.bwdN < CURVE_CAP ? g.bwdN : CURVE_CAP - 1, 1, BLUE, 1.2);

    // The optimal profile: (s, ds/dt) are the first two of each (s, ds/dt, t) sample.
    cairo_save(cr);
    cairo_rectangle(cr, p.px, p.py, p.pw, p.ph);
    cairo_clip(cr);
    colour(cr, GREEN);
    cairo_set_line_width(cr, 2.4);
    const int last = optimum.nProfile < OPT_PROFILE_CAP ? optimum.nProfile : OPT_PROFILE_CAP - 1;
    for (int i = 0; i <= last && optimum.ok; ++i) {
        const double* q = optimum.profile[i];
        if (i == 0)
            cairo_move_to(cr, p.X(q[0]), p.Y(q[1]));
        else
            cairo_line_to(cr, p.X(q[0]), p.Y(q[1]));
    }
    cairo_stroke(cr);
    cairo_restore(cr);
    // The session over the optimum, thinner and dashed: where it follows the
    // optimum the green shows between the red dashes.
    if (withSession) sessionLine(cr, p, g.phase, sessionLast());

    cairo_set_font_size(cr, FONT);
    const int n = optimum.nSwitch < OPT_SWITCH_CAP ? optimum.nSwitch : OPT_SWITCH_CAP;
    char buf[16];
    for (int k = 0; k < n && optimum.ok; ++k) {
        const double x = p.X(optimum.sw[k].s), y = p.Y(optimum.sw[k].v);
        marker(cr, x, y, GREEN, false);
        std::snprintf(buf, sizeof buf, "%d", k + 1);
        colour(cr, GREEN);
        text(cr, x + 6, y - 6, buf, 0.0, 1.0);
    }
    if (withSession) {
        int nchn = g.NCHN < REC_CAP - 1 ? g.NCHN : REC_CAP - 1;
        if (g.endMark == 'e') --nchn;  // the end record is no switch
        for (int i = 1; i <= nchn; ++i) {
            const double x = p.X(g.chnRec[i][1]), y = p.Y(g.chnRec[i][2]);
            colour(cr, RED);
            cairo_set_line_width(cr, 1.5);
            cairo_move_to(cr, x - MARK_R, y - MARK_R);
            cairo_line_to(cr, x + MARK_R, y + MARK_R);
            cairo_move_to(cr, x - MARK_R, y + MARK_R);
            cairo_line_to(cr, x + MARK_R, y - MARK_R);
            cairo_stroke(cr);
        }
    }
}

// Legend lines under the phase plane.
void legend(cairo_t* cr, double x, double y, bool withSession)
{
    struct Item {
        Rgb c;
        const char* label;
    };
    const Item items[] = {{INK, "velocity limit"},
                          {BLUE, "max. acceleration / deceleration curves"},
                          {GREEN, "optimal motion, o switching points"},
                          {RED, "key session (dashed), x switching points"}};
    const int n = withSession ? 4 : 3;
    cairo_set_font_size(cr, FONT);
    for (int i = 0; i < n; ++i) {
        const double lx = x + (i % 2) * 250, ly = y + (i / 2) * 16;
        colour(cr, items[i].c);
        cairo_set_line_width(cr, 2.0);
        cairo_move_to(cr, lx, ly);
        cairo_line_to(cr, lx + 24, ly);
        cairo_stroke(cr);
        colour(cr, INK);
        text(cr, lx + 30, ly, items[i].label, 0.0, 0.5);
    }
}

// The key session's motion over time, (t, value) of component `which` (0: x,
// 1: y, 2: ax, 3: ay): the rebuilt motion once the search ended, the searched
// points otherwise. Returns the last index.
int sessionOverTime(int which, double (*out)[2])
{
    const SimState& g = sim;
    const bool ended = g.endMark == 'e';
    const int last = sessionLast();
    for (int k = 0; k <= last; ++k) {
        double v = 0.0;
        if (ended) {
            v = g.finalXY[k][which];
        } else if (which < 2) {
            double P[2];
            cpPoint(g.phase[k][0], P);
            v = P[which];
        } else {
            v = g.accTab[k][which - 1];
        }
        out[k][0] = g.TIME[k];
        out[k][1] = v;
    }
    return last;
}

// Time shown by the time graphs: the optimum's tf, or the session's when longer.
double timeSpan(bool withSession)
{
    double span = optimum.tf > 0 ? optimum.tf : 1.0;
    const int last = sessionLast();
    if (withSession && sim.TIME[last] > span && std::isfinite(sim.TIME[last])) span = sim.TIME[last];
    return span;
}

// One time graph of the optimal motion, component `which` of optimumAt, and with
// a session also its motion (component `sessionWhich`, see sessionOverTime).
void timeGraph(cairo_t* cr, Panel p, double OptimumPoint::*which, int sessionWhich, double limit, const char* title,
               bool xLabels, bool withSession)
{
    double lo = 0, hi = 0;
    double samples[TIME_SAMPLES + 1][2];
    for (int i = 0; i <= TIME_SAMPLES; ++i) {
        const double t = optimum.tf * i / TIME_SAMPLES;
        const double value = optimumAt(t).*which;
        samples[i][0] = t;
        samples[i][1] = value;
        if (i == 0 || value < lo) lo = value;
        if (i == 0 || value > hi) hi = value;
    }
    static double session[TRAJ_CAP][2];
    const int nSession = withSession ? sessionOverTime(sessionWhich, session) : -1;
    for (int k = 0; k <= nSession; ++k) {
        if (!std::isfinite(session[k][1])) continue;
        if (session[k][1] < lo) lo = session[k][1];
        if (session[k][1] > hi) hi = session[k][1];
    }
    if (limit > 0) {
        lo = -limit;
        hi = limit;
    }
    const double pad = (hi - lo) * 0.12 + 1e-3;
    p.x0 = 0;
    p.x1 = timeSpan(withSession);
    p.y0 = lo - pad;
    p.y1 = hi + pad;
    axes(cr, p, xLabels ? "t [s]" : nullptr, title, xLabels);
    const int n = optimum.nSwitch < OPT_SWITCH_CAP ? optimum.nSwitch : OPT_SWITCH_CAP;
    for (int k = 0; k < n; ++k) {
        colour(cr, GREY);
        cairo_set_line_width(cr, 0.8);
        cairo_move_to(cr, p.X(optimum.sw[k].t), p.py);
        cairo_line_to(cr, p.X(optimum.sw[k].t), p.py + p.ph);
        cairo_stroke(cr);
    }
    if (limit > 0) {
        dashedLevel(cr, p, limit, MAGENTA);
        dashedLevel(cr, p, -limit, MAGENTA);
    }
    polyline(cr, p, samples, TIME_SAMPLES, 1, GREEN, 1.8);
    if (nSession >= 0) {
        cairo_save(cr);
        cairo_rectangle(cr, p.px, p.py, p.pw, p.ph);
        cairo_clip(cr);
        sessionLine(cr, p, session, nSession);
        cairo_restore(cr);
    }
}

// The second title line: the session's tf against the optimum, or why it has none.
void sessionTitle(char* buf, int cap)
{
    const SessionCheck c = checkSession();
    const size_t n = static_cast<size_t>(cap);
    if (!c.ended) {
        std::snprintf(buf, n, "Key session: did not end (the search stopped at t = %.4f s)", sim.TIME[sessionLast()]);
    } else if (!c.atGoal) {
        std::snprintf(buf, n, "Key session: tf = %.4f s, not graded: its motion does not end at the goal at rest", c.tf);
    } else if (!c.notFaster) {
        std::snprintf(buf, n, "Key session: tf = %.4f s, not graded: faster than the optimum beyond the tolerance", c.tf);
    } else {
        // Within the tolerance a motion as fast as the optimum differs by nothing.
        const double d = c.tf > optimum.tf ? c.tf - optimum.tf : 0.0;
        const double pct = optimum.tf > 0 ? d / optimum.tf * 100.0 : 0.0;
        std::snprintf(buf, n, "Key session: tf = %.4f s, %+.4f s (%+.2f %%) against the optimum", c.tf,
                      d < 5e-5 ? 0.0 : d, pct < 5e-3 ? 0.0 : pct);
    }
}

const char* pathName()
{
    switch (sim.cpType) {
    case CP_ARC: return "arc";
    case CP_SINE: return "sine wave";
    case CP_U: return "U shape";
    case CP_SLALOM: return "slalom";
    case CP_CAM_ACC: return "constant-acceleration cam";
    case CP_CAM_CYCLOID: return "cycloid cam";
    default: return "path";
    }
}

// Largest ds/dt the phase plane shows: the optimum's with room above for the limit
// curve. A session that runs far above it is clipped rather than squeezing the picture.
double phaseTop()
{
    double top = 0;
    const int last = optimum.nProfile < OPT_PROFILE_CAP ? optimum.nProfile : OPT_PROFILE_CAP - 1;
    for (int i = 0; i <= last && optimum.ok; ++i)
        if (optimum.profile[i][1] > top) top = optimum.profile[i][1];
    if (!(top > 0) || !std::isfinite(top)) top = 1.0;
    const double step = niceStep(top * 1.3, 5);
    return std::ceil(top * 1.3 / step) * step;
}

// The caller's sink behind cairo's write callback.
struct Sink {
    FigureWriteFn write;
    void* closure;
};

cairo_status_t writeBytes(void* closure, const unsigned char* data, unsigned int length)
{
    const Sink* sink = static_cast<const Sink*>(closure);
    return sink->write(sink->closure, data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

double niceStep(double range, int want)
{
    if (!(range > 0) || !std::isfinite(range) || want < 1) return 1.0;
    const double raw = range / want;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    const double k = f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0;
    return k * mag;
}

void drawFigure(cairo_t* cr, double width, double height, bool withSession)
{
    const SimState& g = sim;
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    const double sx = width / FIG_WIDTH, sy = height / FIG_HEIGHT;
    cairo_scale(cr, sx, sy);

    char title[160];
    std::snprintf(title, sizeof title, "Minimum-time motion along the %s: xamax = %.3g, yamax = %.3g m/s^2, tf = %.4f s",
                  pathName(), g.xamax, g.yamax, optimum.tf);
    colour(cr, INK);
    cairo_set_font_size(cr, 15.0);
    text(cr, FIG_WIDTH / 2.0, withSession ? 4 : 14, title, 0.5, 0.0);
    if (withSession) {
        char line[160];
        sessionTitle(line, sizeof line);
        colour(cr, RED);
        cairo_set_font_size(cr, 13.0);
        text(cr, FIG_WIDTH / 2.0, 23, line, 0.5, 0.0);
        colour(cr, INK);
    }

    Panel ph{80, 60, 480, 440, 0, g.sEnd[g.cpType] > 0 ? g.sEnd[g.cpType] : 1.0, 0, phaseTop()};
    cairo_set_font_size(cr, 13.0);
    text(cr, ph.px + ph.pw / 2, 40, "Phase plane", 0.5, 0.0);
    phasePlane(cr, ph, withSession);
    legend(cr, ph.px, 548, withSession);

    text(cr, 930, 40, withSession ? "Motion over time: optimum (green), key session (red, dashed)" : "Optimal motion over time",
         0.5, 0.0);
    const double top = 60, gap = 12, h = (ph.ph - 3 * gap) / 4;
    const Panel base{690, top, 480, h, 0, 1, 0, 1};
    Panel p = base;
    timeGraph(cr, p, &OptimumPoint::x, 0, 0, "x [m]", false, withSession);
    p.py += h + gap;
    timeGraph(cr, p, &OptimumPoint::y, 1, 0, "y [m]", false, withSession);
    p.py += h + gap;
    timeGraph(cr, p, &OptimumPoint::ax, 2, g.xamax, "ax [m/s^2]", false, withSession);
    p.py += h + gap;
    timeGraph(cr, p, &OptimumPoint::ay, 3, g.yamax, "ay [m/s^2]", true, withSession);
    cairo_set_font_size(cr, FONT);
    colour(cr, MAGENTA);
    text(cr, base.px, 548, "dashed: axis limits +-xamax, +-yamax;  grey: switching times", 0.0, 0.5);
}

bool renderFigure(FigureFormat format, bool withSession, FigureWriteFn write, void* closure)
{
    Sink sink{write, closure};
    cairo_surface_t* surface = nullptr;
    switch (format) {
    case FIG_SVG: surface = cairo_svg_surface_create_for_stream(writeBytes, &sink, FIG_WIDTH, FIG_HEIGHT); break;
    case FIG_PDF: surface = cairo_pdf_surface_create_for_stream(writeBytes, &sink, FIG_WIDTH, FIG_HEIGHT); break;
    case FIG_PNG: surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, FIG_WIDTH, FIG_HEIGHT); break;
    }
    cairo_t* cr = cairo_create(surface);
    drawFigure(cr, FIG_WIDTH, FIG_HEIGHT, withSession);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && format == FIG_PNG)
        status = cairo_surface_write_to_png_stream(surface, writeBytes, &sink);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    return status == CAIRO_STATUS_SUCCESS;
}
