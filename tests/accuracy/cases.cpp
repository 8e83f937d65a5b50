// The accuracy table's paths and the measurement of one path.
// Prepares `sim` for each path and reads the state left by the guided session.
#include "cases.h"

#include <cstdio>

#include "core/state.h"

std::vector<PathCase> reportCases()
{
    std::vector<PathCase> cases;
    for (int type = CP_ARC; type <= CP_CAM_CYCLOID; ++type) cases.push_back(defaultCase(type));
    // label, type, a, b, xamax, yamax (a and b as in PathCase)
    const std::vector<PathCase> others = {
        {"arc", CP_ARC, 1.0, 90.0, 1.0, 1.0},
        {"arc", CP_ARC, 0.5, 180.0, 2.0, 2.0},
        {"arc", CP_ARC, 0.5, 90.0, 1.0, 3.0},
        {"arc", CP_ARC, 0.5, 120.0, 3.0, 1.0},
        {"sine wave", CP_SINE, 1.0, 0.2, 2.0, 2.0},
        {"sine wave", CP_SINE, 2.0, 0.5, 1.0, 3.0},
        {"U shape", CP_U, 0.1, 0.4, 2.0, 2.0},
        {"U shape", CP_U, 0.4, 0.2, 4.0, 1.0},
        {"U shape", CP_U, 0.4, 0.4, 1.0, 4.0},
        {"slalom", CP_SLALOM, 0.3, 2.0, 1.0, 2.0},
        {"slalom", CP_SLALOM, 0.1, 5.0, 2.0, 2.0},
        {"constant-acceleration cam", CP_CAM_ACC, 1.0, 0.3, 3.0, 1.0},
        {"cycloid cam", CP_CAM_CYCLOID, 1.0, 1.0, 1.0, 1.0},
        {"cycloid cam", CP_CAM_CYCLOID, 0.5, 0.2, 2.0, 4.0},
    };
    cases.insert(cases.end(), others.begin(), others.end());
    return cases;
}

std::string describePreparedPath()
{
    const SimState& g = sim;
    char buf[128];
    switch (g.cpType) {
    case CP_ARC:
        std::snprintf(buf, sizeof buf, "arc R=%g m, %g°", g.arcR, g.sEnd[CP_ARC] * RAD2DEG);
        break;
    case CP_SINE:
        std::snprintf(buf, sizeof buf, "sine wave L=%g m, A=%g m", g.sinL, g.sinA);
        break;
    case CP_U:
        std::snprintf(buf, sizeof buf, "U shape L=%g m, R=%g m", g.uL, g.uR);
        break;
    case CP_SLALOM:
        std::snprintf(buf, sizeof buf, "slalom R=%g m, N=%d", g.slmR, g.slmN);
        break;
    case CP_CAM_ACC:
        std::snprintf(buf, sizeof buf, "constant-acc. cam L=%g m, H=%g m", g.camL, g.camH);
        break;
    case CP_CAM_CYCLOID:
        std::snprintf(buf, sizeof buf, "cycloid cam L=%g m, H=%g m", g.cycL, g.cycH);
        break;
    default:
        std::snprintf(buf, sizeof buf, "type %d", g.cpType);
        break;
    }
    return buf;
}

CaseMeasurement measureCase(const PathCase& c)
{
    CaseMeasurement r;
    r.c = c;
    preparePath(c);
    r.path = describePreparedPath();
    r.xamax = sim.xamax;
    r.yamax = sim.yamax;
    r.sEnd = sim.sEnd[sim.cpType];
    r.reference = referenceMinimumTime();
    preparePath(c);
    r.guided = runGuidedSession();
    r.audit = auditTrajectory();
    r.ratio = r.reference.tf > 0.0 ? r.guided.tf / r.reference.tf : 0.0;
    return r;
}
