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
    if (work.nBreaks < BREAK_CAP) work.breaks[work.nBreaks++] = s;
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
        for (int k = 1; k < g.slmN && k < BREAK_CAP; ++k) addBreak(k * PI);
        break;
    case CP_CAM_ACC:
        addBreak(g.camL / 2.0);
        break;
    default:
        break;
    }
}

// x' (axis 0) or y' (axis 1) at s.
double axisSlope(int axis, double s)
{
    CurveDerivs d;
    cpDerivatives(s, &d);
    return axis == 0 ? d.x1 : d.y1;
}

// Points where x' or y' changes sign: there the axis bounds only w, the limit
// curve has a corner and the acceleration on it jumps.
void addZeroInertiaPoints()
{
    const double h = work.sEnd / BREAK_SCAN_CELLS;
    CurveDerivs a, b;
    cpDerivatives(0.0, &a);
    for (int i = 0; i < BREAK_SCAN_CELLS; ++i) {
        const double s0 = i * h, s1 = (i + 1) * h;
        cpDerivatives(s1, &b);
        for (int axis = 0; axis < 2; ++axis) {
            const double f0 = axis == 0 ? a.x1 : a.y1;
            const double f1 = axis == 0 ? b.x1 : b.y1;
            if (!(f0 * f1 < 0.0)) continue;
            const Bracket br = findChange(s0, s1, rootWidth(), [&](double m) {
                const double fm = axisSlope(axis, m);
                if (fm == 0.0) return 0;
                return (fm < 0.0) == (f0 < 0.0) ? -1 : 1;
            });
            addBreak(br.middle());
        }
        a = b;
    }
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
        while (b < work.nBreaks && work.breaks[b] <= u + SPLIT_GRID * h && n + 2 < GRID_CAP) {
            if (work.breaks[b] > work.grid[n] + SAME_BREAK * work.scale && work.breaks[b] < work.sEnd) {
                work.grid[++n] = work.breaks[b];
                work.gridIsBreak[n] = true;
            }
            ++b;
        }
        if (u > work.grid[n] + SPLIT_GRID * h && n + 1 < GRID_CAP) {
            work.grid[++n] = u;
            work.gridIsBreak[n] = false;
        } else if (i == GRID_CELLS && n + 1 < GRID_CAP) {
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
    mergeGrid();
    return true;
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
