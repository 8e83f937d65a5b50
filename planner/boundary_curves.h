// The maximum-acceleration curve from the start and the maximum-deceleration curve into the goal.
// Writes fwdCurve/fwdN and bwdCurve/bwdN; uses accSign and t as working state.
#pragma once

// Time between two points of either boundary curve [s]: point q of the
// deceleration curve is q * CURVE_DT before the motion rests at the goal.
constexpr double CURVE_DT = 0.001;

void computeBoundaryCurves();
