// Console report of the path-acceleration switches and the axis-force switches.
// Writes nctRec; reads the rebuilt trajectory and chnRec.
#pragma once

// count = mf; returns the index of the last axis-force switch record (NCT).
int reportSwitches(int count);
