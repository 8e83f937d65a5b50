// The keyboard commands of the graphics window.
// Changes the search and view state of `sim`; asks for one frame per command key.
#pragma once

// A frame: one planner step and the picture. The window installs its display
// routine; tests install a compute-only frame. nullptr selects the compute-only frame.
using FrameFn = void (*)();
void setFrameFunction(FrameFn fn);

// The compute-only frame: runSearchStep, then finishSearch when it is pending.
void computeFrame();

// Process exit for ESC; tests may replace it. nullptr restores the default (exit(0)).
using ExitFn = void (*)(int status);
void setExitFunction(ExitFn fn);

// GLUT keyboard callback: key byte and pointer position (ignored).
void onKey(unsigned char key, int x, int y);
