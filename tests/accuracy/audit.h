// Time-domain audit of a completed search: how far the final trajectory and
// normal CP motion go beyond the axis limits and the velocity limit. Reads `sim`.
#pragma once

struct TrajectoryAudit {
    double finalX = 0.0;       // max |ax| / xamax over finalXY[0..mf]
    double finalY = 0.0;       // max |ay| / yamax over finalXY[0..mf]
    double normalX = 0.0;      // max |ax| / xamax over normalAcc[0..mNormal]
    double normalY = 0.0;      // max |ay| / yamax over normalAcc[0..mNormal]
    double normalXToMf = 0.0;  // the same over normalAcc[0..mf], the samples the program tests
    double normalYToMf = 0.0;
    double finalXMotion = 0.0; // the same from the positions: twice the second divided
    double finalYMotion = 0.0; //   difference of finalXY x, y over TIME (a weighted mean of the
                               //   acceleration over two steps, so it bounds the largest one from below)
    double normalXMotion = 0.0;  // the same for normalXY over TIME[0..mNormal]
    double normalYMotion = 0.0;
    double vExcess = 0.0;      // max (ds/dt - limit(s)) over phase[0..mf], 0 if never above
    double vExcessAt = 0.0;    // s of that largest excess
    double endS = 0.0;         // phase[mf] (the end point)
    double endV = 0.0;
    double tEndRecord = 0.0;   // chnRec[NCHN][0]
};

// Velocity limit at s interpolated in vLimit[0..vLimitLast] (+infinity outside it).
double sampledVelocityLimit(double s);

// Twice the second divided difference of p over the times t at i-1, i, i+1:
// (p[i+1] - p[i]) / h2 - (p[i] - p[i-1]) / h1, divided by (h1 + h2) / 2. It is the
// mean of the second derivative weighted by a hat function over [t[i-1], t[i+1]].
// Steps shorter than minStep (repeated stop points) give 0.
double secondDividedDifference(double p0, double p1, double p2, double t0, double t1, double t2, double minStep);

TrajectoryAudit auditTrajectory();
