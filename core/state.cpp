// The single instance of the simulation state, its defaults and the per-type rules.
// Owns sections 1 to 9 of `sim` at start-up; the dialogue reuses updateTypeTables.
#include "core/state.h"

#include <cmath>

#include "core/conditions.h"

SimState sim;

// Derived constants and per-type table row of one type from its curve parameters.
// Start points of types 2 to 6 stay at (0, 0); only the arc's start follows arcR.
void updateTypeTables(int type)
{
    SimState& s = sim;
    switch (type) {
    case CP_ARC: {
        const double th = s.sEnd[CP_ARC];
        s.cpStart[CP_ARC][0] = s.arcA[0] + s.arcR;
        s.cpStart[CP_ARC][1] = s.arcA[1];
        s.cpEnd[CP_ARC][0] = s.arcA[0] + s.arcR * std::cos(th);
        s.cpEnd[CP_ARC][1] = s.arcA[1] + s.arcR * std::sin(th);
        s.dxScale[CP_ARC] = s.arcR;
        s.dyScale[CP_ARC] = s.arcR;
        break;
    }
    case CP_SINE:
        s.sinK = 2.0 * PI / s.sinL;
        s.sEnd[CP_SINE] = s.sinL;
        s.cpEnd[CP_SINE][0] = s.cpStart[CP_SINE][0] + s.sinL;
        s.cpEnd[CP_SINE][1] = s.cpStart[CP_SINE][1];
        s.dxScale[CP_SINE] = 1.0;
        s.dyScale[CP_SINE] = s.sinA * s.sinK;
        break;
    case CP_U:
        s.uArc = PI * s.uR;
        s.sEnd[CP_U] = 2.0 * s.uL + s.uArc;
        s.cpEnd[CP_U][0] = s.cpStart[CP_U][0] + 2.0 * s.uR;
        s.cpEnd[CP_U][1] = s.cpStart[CP_U][1];
        s.dxScale[CP_U] = s.uR;
        s.dyScale[CP_U] = s.uR;
        break;
    case CP_SLALOM:
        s.sEnd[CP_SLALOM] = s.slmN * PI;
        s.cpEnd[CP_SLALOM][0] = s.cpStart[CP_SLALOM][0] + 2.0 * s.slmN * s.slmR;
        s.cpEnd[CP_SLALOM][1] = s.cpStart[CP_SLALOM][1];
        s.dxScale[CP_SLALOM] = s.slmR;
        s.dyScale[CP_SLALOM] = s.slmR;
        break;
    case CP_CAM_ACC:
        s.camA = 4.0 * s.camH / (s.camL * s.camL);
        s.sEnd[CP_CAM_ACC] = s.camL;
        s.cpEnd[CP_CAM_ACC][0] = s.cpStart[CP_CAM_ACC][0] + s.camL;
        s.cpEnd[CP_CAM_ACC][1] = s.cpStart[CP_CAM_ACC][1] + s.camH;
        s.dxScale[CP_CAM_ACC] = 1.0;
        s.dyScale[CP_CAM_ACC] = 2.0 * s.camH / s.camL;
        break;
    case CP_CAM_CYCLOID:
        s.cycC = 2.0 * PI * s.cycH / (s.cycL * s.cycL);
        s.cycW = 2.0 * PI / s.cycL;
        s.sEnd[CP_CAM_CYCLOID] = s.cycL;
        s.cpEnd[CP_CAM_CYCLOID][0] = s.cpStart[CP_CAM_CYCLOID][0] + s.cycL;
        s.cpEnd[CP_CAM_CYCLOID][1] = s.cpStart[CP_CAM_CYCLOID][1] + s.cycH;
        s.dxScale[CP_CAM_CYCLOID] = 1.0;
        s.dyScale[CP_CAM_CYCLOID] = 2.0 * s.cycH / s.cycL;
        break;
    default:
        return;
    }
    s.vEnd[type] = 0.0;
}

void initDefaults()
{
    SimState& s = sim;

    // 1. Layout.
    s.yshift = s.xshift = 0.0;
    s.xorg = s.yorg = -0.5;
    s.phx0 = s.xorg;
    s.phy0 = s.yorg;
    s.gx0 = 0.4;
    s.gy0 = 0.5;
    s.t1x0 = 0.4;
    s.t1y0 = 0.1;
    s.t2x0 = 0.4;
    s.t2y0 = -0.6;
    s.tlen = 0.5;
    s.t1h = s.t2h = 0.25;
    s.bw = 0.1;
    s.bh = 1.2 * s.bw;

    // 2. Time stepping.
    s.dt = s.dt0;
    s.nSub = 20;

    // 3. Curve parameters, derived constants and table rows, type by type.
    s.arcA[0] = 0.0;
    s.arcA[1] = 0.0;
    s.arcR = 0.5;
    s.sEnd[CP_ARC] = PI / 2.0;
    updateTypeTables(CP_ARC);
    // cos(π/2) of the literal π is not exactly 0; the default end point is exactly (0, 0.5).
    s.cpEnd[CP_ARC][0] = 0.0;
    s.cpEnd[CP_ARC][1] = 0.5;

    s.sinL = 1.0;
    s.sinA = 0.5;
    s.cpStart[CP_SINE][0] = s.cpStart[CP_SINE][1] = 0.0;
    updateTypeTables(CP_SINE);

    s.uL = 0.4;
    s.uR = 0.4;
    s.cpStart[CP_U][0] = s.cpStart[CP_U][1] = 0.0;
    updateTypeTables(CP_U);

    s.slmR = 0.2;
    s.slmN = 3;
    s.cpStart[CP_SLALOM][0] = s.cpStart[CP_SLALOM][1] = 0.0;
    updateTypeTables(CP_SLALOM);

    s.camL = 0.5;
    s.camH = 0.5;
    s.cpStart[CP_CAM_ACC][0] = s.cpStart[CP_CAM_ACC][1] = 0.0;
    updateTypeTables(CP_CAM_ACC);

    s.cycL = 0.5;
    s.cycH = 0.5;
    s.cpStart[CP_CAM_CYCLOID][0] = s.cpStart[CP_CAM_CYCLOID][1] = 0.0;
    updateTypeTables(CP_CAM_CYCLOID);

    // 4. Axis limits.
    s.xamax = s.yamax = 2.0;

    // 5. Current path.
    s.cpType = CP_ARC;
    s.xf = s.cpEnd[CP_ARC][0];
    s.yf = s.cpEnd[CP_ARC][1];

    // 6. Conditions report of the arc.
    printConditions();
}
