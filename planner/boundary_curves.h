// The maximum-acceleration curve from the start and the maximum-deceleration curve into the goal.
// Writes fwdCurve/fwdN and bwdCurve/bwdN; uses accSign and t as working state.
#pragma once

void computeBoundaryCurves();
