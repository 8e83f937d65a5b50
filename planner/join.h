// The final join: the searched trajectory onto the maximum-deceleration curve, then
// along that curve to rest at the goal.
// Writes NCHN, chnStep, chnRec, phase, TIME, accTab, accSign, t, mf, tf.
#pragma once

// True when a junction was found and the motion completed along the deceleration
// curve to rest at the goal (its last point is the goal, at time tf); false
// changes nothing (no crossing, or the rest of the motion would not fit the tables).
bool joinFinalTrajectory();

// The point of the deceleration curve (the one computed backward from the goal)
// sigma seconds before the motion rests at the goal, with the accelerations of
// braking there (path, x'', y''). False when sigma lies outside the curve's
// admissible part. Sub-steps between the curve's stored points are integrated
// backward from the stored point nearer the goal, as the curve itself was.
bool decelerationCurveAt(double sigma, double y[2], double acc[3]);
