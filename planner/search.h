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

// Console line given once when a motion is cut at the end of the trajectory tables.
void reportTableFull();
// Console line given once per search when the 30 switching records are used up.
void reportRecordsFull();
