// Frame composition: the texts at the top, the figure grid and the state-dependent picture.
// Reads the whole search, trajectory and view state of `sim`; writes tf (drawInfoTexts).
#pragma once

// "CP Time optimal control : Phase Plane Analysis" at the top left.
void drawTitle();
// The information lines; sets tf from chnRec[NCHN] first.
void drawInfoTexts();
// The figure grid centred on the path origin: n = 40, spacing 0.1·zoom.
void drawFigureGrid();
// The search state: boundary and limit curves, the search step, the trajectory
// with its look-ahead curves; at the end of the joined playback the completion
// message, an early presentation and the end of the search.
void drawSearchState();
// The playback state: one playback step, then the trajectory, the figure with
// the carriage, traces and markers, and the graph panel.
void drawPlaybackState();
// One whole pass of the display routine: clear, texts, grid, the state's part, present.
void drawFramePass();
