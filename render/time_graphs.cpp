// The time graphs of the playback: axis displacements and the two axis forces over time.
// Reads finalXY[], TIME[], mf, chnRec[NCHN], nctRec[]/NCT, the limits, xf, yf and the graph layout of `sim`.
#include "render/time_graphs.h"

#include "core/state.h"
#include "render/primitives.h"
#include "render/view.h"

namespace {

int boundedPoint(int k)
{
    if (k < 0) return 0;
    if (k > TRAJ_CAP - 1) return TRAJ_CAP - 1;
    return k;
}

// One force graph: origin (x0, y0), half-height H, axis limit, acceleration
// column of finalXY[] (2: ax, 3: ay).
void torqueGraph(double x0, double y0, double H, double limit, int column, const float colour[4],
                 const char* name, const char* limitName, int k)
{
    const SimState& g = sim;
    drawTimeAxes(1, x0, y0, g.tlen, H + 0.05);

    drawText(static_cast<float>(x0 + 0.1), static_cast<float>(y0 - 0.05), FONT_HELVETICA_18, name);
    drawText(static_cast<float>(x0 - 0.05), static_cast<float>(y0 - 0.02), FONT_HELVETICA_18, "0");
    drawText(static_cast<float>(x0 - 0.1), static_cast<float>(y0 + H - 0.05), FONT_HELVETICA_18,
             "T[Nm]");

    const double top0[2] = {x0, y0 + H}, top1[2] = {x0 + g.tlen, y0 + H};
    drawLine(top0, top1, red);
    drawText(static_cast<float>(x0), static_cast<float>(y0 + H + 0.01), FONT_HELVETICA_12, limitName);
    const double bot0[2] = {x0, y0 - H}, bot1[2] = {x0 + g.tlen, y0 - H};
    drawLine(bot0, bot1, red);

    // ± the axis limit meets the two limit lines.
    const double vs = limit != 0.0 ? H / limit : 0.0;
    const double ts = timeScale(g.tlen, graphGoalTime());
    const int last = boundedPoint(k);
    double a[2] = {x0, y0 + vs * g.finalXY[0][column]};
    beginThickLines(GRAPH_CURVE_WIDTH, colour);
    for (int i = 1; i <= last; ++i) {
        const double b[2] = {x0 + ts * g.TIME[i], y0 + vs * g.finalXY[i][column]};
        thickLineSegment(a, b);
        a[0] = b[0];
        a[1] = b[1];
    }
    endThickLines();
    if (k == g.mf) {  // arrived: the force returns to zero at the goal
        const double b[2] = {a[0], y0};
        drawThickLine(a, b, GRAPH_CURVE_WIDTH, colour);
    }
}

}  // namespace

void drawTimeAxes(int mode, double x0, double y0, double len, double h)
{
    const SimState& g = sim;
    const double T = graphGoalTime();

    const double a0[2] = {x0, y0}, a1[2] = {x0 + len, y0};
    drawThickLine(a0, a1, TIME_AXIS_WIDTH, red);

    const double d = len / T;  // one second on the axis
    const int n = tickCount(len, T);
    for (int i = 1; i <= n; ++i) {
        const double p0[2] = {x0 + i * d, y0}, p1[2] = {x0 + i * d, y0 + 0.02};
        drawLine(p0, p1, red);
    }

    const double xL = n >= 1 ? x0 + n * d : x0 + len;
    const char label[3] = {DIGIT_TABLE[secondsLabelIndex(n)], '\n', '\0'};
    drawText(static_cast<float>(xL - 0.02), static_cast<float>(y0 + 0.01), FONT_HELVETICA_18, label);
    drawText(static_cast<float>(xL), static_cast<float>(y0 + 0.01), FONT_HELVETICA_18, "s");

    const double yLow = mode == 0 ? y0 : y0 - h;
    const double v0[2] = {x0, yLow}, v1[2] = {x0, y0 + h};
    drawThickLine(v0, v1, TIME_AXIS_WIDTH, red);

    int nct = g.NCT;
    if (nct > REC_CAP - 1) nct = REC_CAP - 1;
    const double tEnd = g.nctRec[nct < 0 ? 0 : nct][0];
    for (int i = 1; i <= nct; ++i) {
        const double xi = x0 + len * g.nctRec[i][0] / tEnd;
        const double p0[2] = {xi, yLow}, p1[2] = {xi, y0 + h};
        drawLine(p0, p1, green);
    }
}

void plotDisplacement(int k)
{
    const SimState& g = sim;
    const double x0 = g.gx0, y0 = g.gy0;
    drawTimeAxes(0, x0, y0, g.tlen, DISPLACEMENT_HEIGHT + 0.05);

    drawText(static_cast<float>(x0 + 0.1), static_cast<float>(y0 - 0.05), FONT_HELVETICA_18,
             "joint displacement");
    drawText(static_cast<float>(x0 - 0.1), static_cast<float>(y0 + DISPLACEMENT_HEIGHT - 0.05),
             FONT_HELVETICA_18, "x,y[m]");

    // A displacement p lies at y0 + (p − min)·vs: the range fills the graph's height.
    const DisplacementRange r = displacementRange();
    const double vs = displacementScale(r, DISPLACEMENT_HEIGHT);

    const double yg1 = y0 + (g.xf - r.min) * vs;
    const double g10[2] = {x0, yg1}, g11[2] = {x0 + g.tlen, yg1};
    drawLine(g10, g11, red);
    drawText(static_cast<float>(x0 + 0.2), static_cast<float>(yg1 + 0.01), FONT_HELVETICA_12, "goal1");
    const double yg2 = y0 + (g.yf - r.min) * vs;
    const double g20[2] = {x0, yg2}, g21[2] = {x0 + g.tlen, yg2};
    drawLine(g20, g21, red);
    drawText(static_cast<float>(x0 + 0.2), static_cast<float>(yg2 + 0.01), FONT_HELVETICA_12, "goal2");

    const double ts = timeScale(g.tlen, graphGoalTime());
    const int last = boundedPoint(k);
    double px[2] = {x0, y0 + (g.finalXY[0][0] - r.min) * vs};
    double py[2] = {x0, y0 + (g.finalXY[0][1] - r.min) * vs};
    if (last < 1) return;
    // Segment after segment, x then y, in one run: the same picture as one
    // drawThickLine each, without switching the line width twice per segment.
    beginThickLines(GRAPH_CURVE_WIDTH, red);
    for (int i = 1; i <= last; ++i) {
        const double xt = x0 + ts * g.TIME[i];
        const double nx[2] = {xt, y0 + (g.finalXY[i][0] - r.min) * vs};
        const double ny[2] = {xt, y0 + (g.finalXY[i][1] - r.min) * vs};
        thickLineColour(red);
        thickLineSegment(px, nx);
        thickLineColour(black);
        thickLineSegment(py, ny);
        px[0] = nx[0];
        px[1] = nx[1];
        py[0] = ny[0];
        py[1] = ny[1];
    }
    endThickLines();
}

void plotTorques(int k)
{
    const SimState& g = sim;
    torqueGraph(g.t1x0, g.t1y0, g.t1h, g.xamax, 2, red, "Torque(1)", "T1max", k);
    torqueGraph(g.t2x0, g.t2y0, g.t2h, g.yamax, 3, black, "Torque(2)", "T2max", k);
}
