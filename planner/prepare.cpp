// The preparation of a fresh search that ends every dialogue: the conditions
// report, the boundary curves, the velocity limit curve, the view scale of the
// phase plane and the search reset.
#include "planner/prepare.h"

#include "core/conditions.h"
#include "core/console.h"
#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/search.h"

void prepareSearch()
{
    SimState& g = sim;
    g.t = 0.0;
    g.mf = 0;
    g.m = 0;
    g.accSign = +1;
    printConditions();
    conPrintf("\n");
    computeBoundaryCurves();
    makeVelocityLimit();
    conPrintf("\n\n............描画画面へ..........\n");
    g.zoom = 1.0;
    const double sEnd = g.sEnd[g.cpType];
    if (sEnd < 1.01)
        g.phscale = 2.0;
    else if (sEnd > 1.99)
        g.phscale = 0.4;
    else
        g.phscale = 1.0;
    resetSearch();
}
