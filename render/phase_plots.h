// Phase-plane polylines: boundary curves, velocity limit, trajectory with its switching rings.
// Reads endMark, vLimit/vLimitLast, nctRec[]/NCT and the view state of `sim`.
#pragma once

// Width of every phase-plane segment [window units]: thick while searching,
// thin in playback.
constexpr double PHASE_WIDTH_SEARCH = 0.008;
constexpr double PHASE_WIDTH_PLAYBACK = 0.004;
constexpr double SWITCH_RING_RADIUS = 0.007;
double phaseLineWidth();

// The n segments of table[0 … n]; nothing for n ≤ 0. The caller keeps n inside the table.
void plotPhaseCurve(int n, const double (*table)[2], const float colour[4]);
// The same polyline; in playback also a blue ring at every axis-force switch
// record nctRec[0 … NCT], start and end included.
void plotTrajectory(int n, const double (*table)[2], const float colour[4]);
// The velocity limit curve vLimit[0 … vLimitLast].
void plotLimitCurve(const float colour[4]);
