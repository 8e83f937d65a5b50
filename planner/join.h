// The final join: the searched trajectory onto the maximum-deceleration curve, completed to rest.
// Writes NCHN, chnStep, chnRec, phase, TIME, accTab, accSign, t, mf, tf.
#pragma once

// True when a junction was found and the trajectory completed to standstill;
// false changes nothing (no crossing, or the completion would not fit the tables).
bool joinFinalTrajectory();
