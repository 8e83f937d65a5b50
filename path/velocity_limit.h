// The velocity limit curve: the largest ds/dt at which both axis limits can still be met.
// Writes vLimit and vLimitLast of `sim`.
#pragma once

// Rebuilds vLimit[0..vLimitLast] for the current path and limits. Never writes past
// the table: a path that would need more samples stops at its last entry.
void makeVelocityLimit();
