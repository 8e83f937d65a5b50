// The optimum over the student's curve in the phase plane (cptoc --answer): the
// optimal (s, ds/dt) profile and its switching points in magenta, a colour the
// window uses for nothing else. Reads `optimum`, endMark and the view state of `sim`.
#pragma once

// Magenta (1, 0, 1, 1).
extern const float magenta[4];

// On: the playback frames draw the optimum. Off (the default): nothing is drawn,
// so an exam shows nothing of the optimum.
void setAnswerOverlay(bool on);

// In the playback state, when on and `optimum` holds a motion: the optimal
// profile, twice as wide as the trajectory line so that the trajectory drawn
// over it stays visible with a magenta edge, and a ring at every optimal switch.
// At most OVERLAY_SEGMENTS segments, however many samples the profile has.
constexpr int OVERLAY_SEGMENTS = 1000;
void drawAnswerOverlay();
