// The key-driven phase-plane search: one step per frame in its three states.
// Owns the search state and trajectory tables of `sim`; never draws.
#pragma once

// Search reset: a fresh search from the start of the path at rest.
void resetSearch();

// One frame's work of the current state. Leaves in `sim` what the frame must draw:
// aheadMade with aheadSame/aheadFlip and their last indices, and finishPending
// when the joined playback has just reached mf ("Trajectory obtained!").
void runSearchStep();

// The end of the search, run after the completing frame has been presented:
// rebuild, normal CP, console lines, switching report, then playback.
// Does nothing unless finishPending is set.
void finishSearch();

// Playback frames (endMark 'e'): runSearchStep leaves in sim.playK the index k
// of the final trajectory to show (m capped at mf) and in sim.m the index of
// normal CP motion (capped at mNormal).

// tf := time of the last switching record chnRec[NCHN] (the end record once the
// search is complete); every frame does this first.
void refreshGoalTime();

// Index of the last red trajectory point that the frame plots (m, kept in the table).
int trajectoryPlotLast();

// Switching records describe the trajectory on the screen: records 1..NCHN lie
// at strictly increasing points (chnStep) and times, and accSign is +1 exactly
// when their number is even.

// After a step back to point mNew: drops the records of the points given up,
// and records the switch at mNew when the sign kept for the steps from mNew on
// differs from the one the remaining records give (or takes back a record at
// mNew itself). At the start the sign becomes +1.
void trimRecords(int mNew);

// Switch at point m: accSign reversed and a record of the point with the
// accelerations just after the switch; a switch at the point of the last record
// takes that record back. Not made at the start (m = 0), nor when the records
// left could not hold a join (the console says so). True when the sign changed.
bool switchAtPoint(int m);

// accTab[0] and the accelerations of chnRec[0]: the start at rest under +1.
void restoreStartPoint();
