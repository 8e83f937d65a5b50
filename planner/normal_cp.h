// Normal CP motion (trapezoidal velocity profile) along the same path, for comparison.
// Writes normalS, normalAcc, normalXY, tfNormal, mNormal and TIME past mf.
#pragma once

void computeNormalCP();
