// Shared helpers of the unit tests: a fresh default state and captured console output.
#pragma once

#include <string>

// sim = SimState{} followed by initDefaults(), with the report sent to a scratch stream.
void freshDefaults();

// freshDefaults(), then the given path type with its default dimensions made
// current and a fresh search prepared as every dialogue ends (prepareSearch),
// its report sent to a scratch stream.
void prepareType(int type);

// freshDefaults(), then the default arc searched with maximum acceleration for
// `steps` trajectory points and joined onto its deceleration curve, as 'f' does:
// records start, junction, end. False when the join is refused.
bool joinDefaultArc(int steps);

// Captures everything written through the console seam between begin and end.
void captureBegin();
std::string captureEnd();

// Feeds the given bytes as console input (a memory stream); nullptr restores stdin.
void feedInput(const char* bytes);

// Independent reference of the deceleration curve of the current path: the phase
// point sigma seconds before the motion rests at the goal, integrated backward from
// the goal with maximum deceleration in steps of at most 1e-5 s.
void brakingBeforeGoal(double sigma, double y[2]);
