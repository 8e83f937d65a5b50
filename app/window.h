// The graphics window: creation, callbacks and the display routine.
// Reads the whole state through the frame; the only module that talks to GLUT's window.
#pragma once

// Opens the 800 x 800 window, registers the callbacks and enters the main loop.
// Does not return. Without a display it prints one line and exits with status 1.
void initWindow(int* argc, char** argv);

// True when an X display can be opened (DISPLAY set and reachable); otherwise
// prints one clear line to stderr. Checked before the dialogue so that nobody
// answers it for a window that cannot open, and again right before the window
// is created: a display that went away meanwhile is looked for anew.
bool displayAvailable();

// Keeps the memory the renderer frees after every frame instead of handing it
// back to the system. A software renderer builds each frame in some 20 MB of
// scratch memory; returned and fetched again per frame, the fresh pages cost
// more than the drawing itself (a long playback frame went from 5 to 40 ms).
// Called by initWindow before the window opens; does nothing outside glibc.
void keepRendererMemory();

// GLUT reshape callback: the whole window, identity projection.
void reshapeWindow(int width, int height);

// The display routine: one planner step and the whole picture.
void displayFrame();
