// The framed conditions report on the console.
// Reads the path selection, curve parameters, per-type tables and axis limits.
#pragma once

void printConditions();
