// The paths of the accuracy table and the measurement of one of them: a guided
// session, the reference optimum and the time-domain audit. Rewrites `sim`.
#pragma once

#include <string>
#include <vector>

#include "audit.h"
#include "guided.h"
#include "reference.h"

// The six default paths followed by paths and limits of other dimensions.
std::vector<PathCase> reportCases();

struct CaseMeasurement {
    PathCase c;
    std::string path;     // path type and dimensions, as prepared
    double xamax = 0.0, yamax = 0.0;
    double sEnd = 0.0;
    ReferenceTime reference;
    GuidedResult guided;
    TrajectoryAudit audit;
    double ratio = 0.0;   // guided tf / reference
};

// Prepares the path, computes the reference, prepares it again and runs the
// guided session; the audit reads the state that session leaves.
CaseMeasurement measureCase(const PathCase& c);

// "arc R=0.5 m, θf=90°" and the like, from the prepared state.
std::string describePreparedPath();
