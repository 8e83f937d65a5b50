// Shared helpers of the unit tests: a fresh default state and captured console output.
#pragma once

#include <string>

// sim = SimState{} followed by initDefaults(), with the report sent to a scratch stream.
void freshDefaults();

// freshDefaults(), then the given path type with its default dimensions made
// current and a fresh search prepared as every dialogue ends (prepareSearch),
// its report sent to a scratch stream.
void prepareType(int type);

// Captures everything written through the console seam between begin and end.
void captureBegin();
std::string captureEnd();

// Feeds the given bytes as console input (a memory stream); nullptr restores stdin.
void feedInput(const char* bytes);
