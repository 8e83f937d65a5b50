// Reconstruction of the final minimum-time trajectory from its switching records.
// Writes phase, TIME, accTab, finalXY, mf, t, dt, accSign; then computes normal CP.
#pragma once

void rebuildFinalTrajectory();
