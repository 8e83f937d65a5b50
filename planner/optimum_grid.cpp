// The grid in s on which the solver's curves are integrated and compared node
// by node: uniform cells merged with every break, a join of the curve's pieces
// (where its second derivatives jump) or a zero-inertia point (where x' or y'
// changes sign), so that no integration step straddles a jump of the bounds.
#include <cmath>

#include "core/state.h"
#include "path/curves.h"
#include "planner/optimum_work.h"

namespace optimum_detail {

namespace {

void addBreak(double s)
{
    if (!(s > 0.0 && s < work.sEnd)) return;
    for (int i = 0; i < work.nBreaks; ++i)
        if (std::fabs(work.breaks[i] - s) < SAME_BREAK * work.scale) return;
    if (work.nBreaks >= BREAK_CAP) {
        fail(OPT_BREAKS_FULL);
        return;
    }
    work.breaks[work.nBreaks++] = s;
}

void addPieceJoins()
{
    const SimState& g = sim;
    switch (g.cpType) {
    case CP_U:
        addBreak(g.uL);
        addBreak(g.sEnd[CP_U] - g.uL);
        break;
    case CP_SLALOM:
        for (int k = 1; k < g.slmN && work.failure == OPT_OK; ++k) addBreak(k * PI);
        break;
    case CP_CAM_ACC:
        addBreak(g.camL / 2.0);
        break;
    default:
        break;
    }
}

// x' (axis 0) or y' (axis 1) at s; a value that is not a number fails the solve.
double axisSlope(int axis, double s)
{
    CurveDerivs d;
    cpDerivatives(s, &d);
    const double f = axis == 0 ? d.x1 : d.y1;
    if (!std::isfinite(f)) fail(OPT_NOT_A_NUMBER);
    return f;
}

// Points where x' or y' changes sign: there the axis bounds only w, the limit
// curve has a corner and the acceleration on it jumps.
void addZeroInertiaPoints()
{
    for (int axis = 0; axis < 2; ++axis)
        scanSignChanges(0.0, work.sEnd, BREAK_SCAN_CELLS, rootWidth(), [axis](double s) { return axisSlope(axis, s); },
                        addBreak);
}

void sortBreaks()
{
    for (int i = 1; i < work.nBreaks; ++i) {
        const double v = work.breaks[i];
        int j = i - 1;
        while (j >= 0 && work.breaks[j] > v) {
            work.breaks[j + 1] = work.breaks[j];
            --j;
        }
        work.breaks[j + 1] = v;
    }
}

// Uniform nodes merged with the breaks; a uniform node closer than a tenth of
// a cell to a break is dropped.
void mergeGrid()
{
    const double h = work.sEnd / GRID_CELLS;
    int n = 0, b = 0;
    work.grid[0] = 0.0;
    work.gridIsBreak[0] = false;
    for (int i = 1; i <= GRID_CELLS; ++i) {
        const double u = (i == GRID_CELLS) ? work.sEnd : i * h;
        while (b < work.nBreaks && work.breaks[b] <= u + SPLIT_GRID * h) {
            if (n + 2 >= GRID_CAP) {
                fail(OPT_GRID_FULL);
                return;
            }
            if (work.breaks[b] > work.grid[n] + SAME_BREAK * work.scale && work.breaks[b] < work.sEnd) {
                work.grid[++n] = work.breaks[b];
                work.gridIsBreak[n] = true;
            }
            ++b;
        }
        if (n + 1 >= GRID_CAP) {
            fail(OPT_GRID_FULL);
            return;
        }
        if (u > work.grid[n] + SPLIT_GRID * h) {
            work.grid[++n] = u;
            work.gridIsBreak[n] = false;
        } else if (i == GRID_CELLS) {
            if (work.gridIsBreak[n] && work.grid[n] < work.sEnd) ++n;
            work.grid[n] = work.sEnd;
            work.gridIsBreak[n] = false;
        }
    }
    work.gridLast = n;
}

}  // namespace

bool makeGrid()
{
    work.nBreaks = 0;
    addPieceJoins();
    addZeroInertiaPoints();
    sortBreaks();
    if (work.failure == OPT_OK) mergeGrid();
    return work.failure == OPT_OK;
}

int cellOf(double s)
{
    int l = 0, r = work.gridLast;
    if (s <= work.grid[0]) return 0;
    if (s >= work.grid[r]) return r - 1;
    while (r - l > 1) {
        const int m = (l + r) / 2;
        if (work.grid[m] <= s)
            l = m;
        else
            r = m;
    }
    return l;
}

}  // namespace optimum_detail
