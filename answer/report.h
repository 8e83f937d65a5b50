// The answer key's own report: the path prepared without the dialogue's lines, the
// optimal motion with its switching list, and normal CP motion for comparison.
// Reads the path and limits of `sim` and `optimum`; prepares the search state.
#pragma once

// Runs fn with the console lines it prints withheld.
void runQuietly(void (*fn)());

// The preparation that ends every dialogue (boundary curves, velocity limit, view
// scale, search reset), with its console lines withheld.
void prepareQuietly();

// Normal CP positioning time of the current path, checked at the times of a motion
// sampled every dt0 up to the optimal tf, as the window checks it at the times of
// the found trajectory. Changes nothing in the search state.
double normalTimeForOptimum();

// The optimal tf, its switching list in the format of the window's lists, the
// normal CP time and the ratio of the two.
void printOptimumReport(double tfNormal);
